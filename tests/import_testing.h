// Helpers of the import tests: a bank opened by the data module alone (no window), the import
// commands over it, and question sets written to files with the formats' own writers.
#pragma once

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <memory>

#include "bulk/addimport.h"
#include "bulk/importexport.h"
#include "formats/formats.h"
#include "formats/moodlexml.h"
#include "store/tdatmod.h"
#include "tests/bulk_testing.h"
#include "tests/editor_testing.h"

namespace importtest {

// Bytes that pass for a PNG picture (the formats look at signatures only).
inline QByteArray png(int seed, int size = 64) {
    QByteArray b("\x89PNG\r\n\x1A\n", 8);
    b += QByteArray::number(seed);
    while (b.size() < size) b += char('a' + (b.size() * 7 + seed) % 26);
    return b;
}

// A PNG file the image readers take.
inline QByteArray realPng() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A question of topic `topic` with answers "да", "нет", "может быть", the second correct.
inline zn::formats::Question question(const QString& topic, const QString& text, int picture = -1) {
    zn::formats::Question q;
    q.topic = topic;
    q.text = text;
    q.answers = {QStringLiteral("да"), QStringLiteral("нет"), QStringLiteral("может быть")};
    q.correct = 2;
    q.picture = picture;
    return q;
}

// A bank in a folder of its own with the data module open on it and the import commands.
class BankFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        work = dir_.path() + QStringLiteral("/банк");
        data = work + QStringLiteral("/data/");
        ASSERT_TRUE(QDir().mkpath(data));
        db = work + QStringLiteral("/test.mdb");
    }
    void TearDown() override {
        commands_.reset();
        dm_.reset();
        if (QFile::exists(db)) {
            EXPECT_TRUE(zntest::readersAgree(db.toStdString()));
        }
    }

    // Makes the bank from `topics` and opens it.
    void open(const std::vector<edtest::T>& topics) {
        edtest::makeBank(db, topics);
        reopen();
    }
    void reopen() {
        commands_.reset();
        dm_ = std::make_unique<zn::TDatMod>();
        dm_->Conn.setConnectionString(zn::TDatMod::connectionString(db));
        dm_->reopen();
        session = {data, db};
        commands_ = std::make_unique<Commands>(*dm_, feedback, session);
    }

    // `set` written as Moodle XML into the folder; returns its path.
    QString moodleFile(const zn::formats::QuestionSet& set, const QString& name) {
        const QString path = work + u'/' + name;
        bulktest::writeBytes(path, zn::formats::writeMoodleXml(set).bytes);
        return path;
    }

    zn::ImportPlan plan(const QString& path, zn::formats::Format format, zn::ImportMode mode) {
        return commands_->import.plan(path, format, mode, data);
    }
    // Plans and runs; returns the plan.
    zn::ImportPlan import(const QString& path, zn::formats::Format format, zn::ImportMode mode) {
        zn::ImportPlan p = plan(path, format, mode);
        commands_->import.run(p);
        return p;
    }

    zn::TDatMod& dm() { return *dm_; }
    edtest::Snapshot file() { return edtest::readBank(db); }

    QString work, data, db;
    zn::Session session;
    bulktest::Recorder feedback;

  private:
    struct Commands {
        Commands(zn::TDatMod& dm, zn::Feedback& fb, const zn::Session& s)
            : exchange(dm, fb, s, {}), import(dm, fb, exchange, {}) {}
        zn::BankExchange exchange;
        zn::BankImport import;
    };
    QTemporaryDir dir_;
    std::unique_ptr<zn::TDatMod> dm_;
    std::unique_ptr<Commands> commands_;
};

}  // namespace importtest
