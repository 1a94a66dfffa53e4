// Helpers for the preview and tree tests: a small test database made from a copy of the empty
// fixture, with topics, questions and answers written through the data module's connection,
// and the data folder pictures the pages refer to.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <memory>
#include <vector>

#include "store/dbdataset.h"
#include "store/tdatmod.h"
#include "tests/store_testing.h"

namespace previewtest {

struct AnswerRow {
    int idotv;
    QString text;
};

struct QuestionRow {
    int idvopr = 1;
    QString text;
    int otvet = 1;     // number of the correct answer
    int kolotvet = 0;  // answer count
    QString img;
    std::vector<AnswerRow> answers;
};

// A writable copy of empty-test.mdb, connected to `dm`, with helpers that insert rows.
// REQUIRES the fixtures (callers use ZN_REQUIRE_FIXTURES first).
class TestBank {
  public:
    explicit TestBank(zn::TDatMod& dm) : dm_(dm) {
        file_ = storetest::copyOfFixture("empty-test.mdb");
        dm_.connectTo(file_);
        tema_ = table("Tema");
        voprosi_ = table("Voprosi");
        otveti_ = table("Otveti");
    }
    ~TestBank() {
        // Detach the helper datasets before the connection goes.
        tema_.reset();
        voprosi_.reset();
        otveti_.reset();
    }

    const QString& file() const { return file_; }

    void addTopic(int numtema, const QString& name, int kolvopr = 0) {
        tema_->insert();
        tema_->setInteger("numtema", numtema);
        tema_->setString("tema", name);
        tema_->setInteger("kolvopr", kolvopr);
        tema_->post();
    }

    // Returns the question's id.
    qint64 addQuestion(int idtest, const QuestionRow& q) {
        voprosi_->insert();
        voprosi_->setInteger("idtest", idtest);
        voprosi_->setInteger("idvopr", q.idvopr);
        voprosi_->setString("vopros", q.text);
        voprosi_->setInteger("otvet", q.otvet);
        voprosi_->setInteger("kolotvet", q.kolotvet);
        if (!q.img.isEmpty()) voprosi_->setString("img", q.img);
        voprosi_->post();
        const qint64 id = voprosi_->asInteger("id");
        for (const AnswerRow& a : q.answers) {
            otveti_->insert();
            otveti_->setInteger("idvopr", id);
            otveti_->setInteger("idotv", a.idotv);
            otveti_->setString("otvet", a.text);
            otveti_->post();
        }
        return id;
    }

    // `count` questions numbered 1..count in topic `idtest`, each with three answers
    // ("<topic>.<question> answer k"), the second one correct.
    void addQuestions(int idtest, int count) {
        for (int q = 1; q <= count; ++q) {
            const QString prefix = QString::number(idtest) + u'.' + QString::number(q);
            addQuestion(idtest, {q,
                                 QStringLiteral("Question ") + prefix,
                                 2,
                                 3,
                                 {},
                                 {{1, prefix + QStringLiteral(" answer 1")},
                                  {2, prefix + QStringLiteral(" answer 2")},
                                  {3, prefix + QStringLiteral(" answer 3")}}});
        }
    }

    // What the show step does before the tree is built: open qrtema, empty TbTema, open
    // tbSettings.
    void openLikeShowStep() {
        dm_.qrtema.open();
        dm_.TbTema.close();
        dm_.TbTema.open();
        dm_.tbSettings.open();
    }

    // Stored kolvopr of every topic, in numtema order (reads the table directly).
    std::vector<int> storedCounts() {
        zn::DbDataset t("countsCheck", dm_.Conn);
        t.setSql(QStringLiteral("select * from Tema order by numtema;"));
        t.open();
        std::vector<int> out;
        for (t.first(); !t.eof(); t.next()) out.push_back(int(t.asInteger("kolvopr")));
        return out;
    }

  private:
    std::unique_ptr<zn::DbDataset> table(const QString& name) {
        auto d = std::make_unique<zn::DbDataset>(name + QStringLiteral("Writer"), dm_.Conn);
        d->setTableName(name);
        d->open();
        return d;
    }

    zn::TDatMod& dm_;
    QString file_;
    std::unique_ptr<zn::DbDataset> tema_, voprosi_, otveti_;
};

// A 1 x 1 GIF of one colour: tiled as a background it fills a cell with that colour.
inline QByteArray solidGif(QColor c) {
    QByteArray d("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13);  // 1 x 1, 2-colour global table
    d.append(char(c.red())).append(char(c.green())).append(char(c.blue()));
    d.append(QByteArray("\0\0\0", 3));
    // One image of one pixel, colour index 0, LZW minimum code size 2; then the trailer.
    d.append(QByteArray("\x2c\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0\x3b", 18));
    return d;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QFile::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// Colours of the data folder pictures made by makeDataFolder().
inline const QColor kBg1(200, 0, 0);
inline const QColor kBg2(0, 180, 0);
inline const QColor kBg3(0, 0, 220);
inline const QColor kPicture(255, 0, 255);
inline constexpr int kPictureWidth = 60;
inline constexpr int kPictureHeight = 40;

// The test picture's name: characters a URL reserves, as a teacher may name a file.
inline const QString kPictureName = QStringLiteral("#1 к%?.png");

// Makes `folder` (ending with "/") with bg1.gif, bg2.gif, bg3.gif and the picture kPictureName.
inline void makeDataFolder(const QString& folder) {
    ASSERT_TRUE(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("bg1.gif"), solidGif(kBg1));
    writeFile(folder + QStringLiteral("bg2.gif"), solidGif(kBg2));
    writeFile(folder + QStringLiteral("bg3.gif"), solidGif(kBg3));
    QImage picture(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    picture.fill(kPicture);
    ASSERT_TRUE(picture.save(folder + kPictureName, "PNG"));
}

}  // namespace previewtest
