// Import sources and export sets over the neutral model.
#include "bulk/importformats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <map>
#include <set>

#include "formats/pictures.h"
#include "jet/database.h"
#include "jet/error.h"
#include "store/schema.h"

namespace zn {

namespace {

QString textOf(const jet::Value& v) {
    if (const auto* s = std::get_if<std::u16string>(&v)) return QString::fromStdU16String(*s);
    return {};
}

qint64 integerOf(const jet::Value& v) {
    if (const auto* n = std::get_if<int64_t>(&v)) return *n;
    if (const auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
    if (const auto* d = std::get_if<double>(&v)) return qint64(*d);
    return 0;
}

// A column of `t` the import reads; a bank without it is no test database.
size_t needColumn(jet::Table& t, const char* name) {
    const int i = t.columnIndex(name);
    if (i < 0)
        throw jet::Error(jet::ErrorKind::Unsupported,
                         t.name() + ": Field '" + std::string(name) + "' not found");
    return size_t(i);
}

QString entryIgnoringCase(const QString& folder, const QString& name, QDir::Filters filter) {
    if (name.isEmpty()) return {};
    QStringList entries = QDir(folder).entryList(filter | QDir::Hidden, QDir::Name);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0) return e;
    return {};
}

}  // namespace

QString dataFolderBeside(const QString& parent) {
    const QString base = parent.endsWith(u'/') ? parent : parent + u'/';
    if (QFileInfo(base + QStringLiteral("data")).isDir()) return base + QStringLiteral("data/");
    const QString found = entryIgnoringCase(base, QStringLiteral("data"), QDir::Dirs);
    return base + (found.isEmpty() ? QStringLiteral("data") : found) + u'/';
}

QString pictureFileIn(const QString& folder, const QString& name) {
    if (name.isEmpty() || name.contains(u'/')) return {};
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    if (QFileInfo(base + name).isFile()) return base + name;
    const QString found = entryIgnoringCase(base, name, QDir::Files);
    return found.isEmpty() ? QString() : base + found;
}

formats::QuestionSet bankQuestions(jet::Database& db, const QString& dataFolder,
                                   const std::vector<qint64>& topics) {
    jet::Table& tema = db.table(schema::kTema.toStdString());
    jet::Table& vopr = db.table(schema::kVoprosi.toStdString());
    jet::Table& otv = db.table(schema::kOtveti.toStdString());
    const size_t tNum = needColumn(tema, "numtema"), tName = needColumn(tema, "tema");
    const size_t vId = needColumn(vopr, "id"), vTopic = needColumn(vopr, "idtest"),
                 vNum = needColumn(vopr, "idvopr"), vText = needColumn(vopr, "vopros"),
                 vCorrect = needColumn(vopr, "otvet"), vImg = needColumn(vopr, "img");
    const size_t aQuestion = needColumn(otv, "idvopr"), aNum = needColumn(otv, "idotv"),
                 aText = needColumn(otv, "otvet");
    const std::set<qint64> wanted(topics.begin(), topics.end());

    // Topics by number (the first of a number that two topics share).
    std::map<qint64, QString> topicNames;
    for (auto sc = tema.scan(); sc.next();) {
        const qint64 n = integerOf(sc.row()[tNum]);
        if (wanted.empty() || wanted.count(n)) topicNames.emplace(n, textOf(sc.row()[tName]));
    }
    struct Row {
        qint64 id, topic, number, correct;
        QString text, img;
    };
    std::vector<Row> rows;
    for (auto sc = vopr.scan(); sc.next();) {
        const jet::Row& r = sc.row();
        const qint64 topic = integerOf(r[vTopic]);
        if (!topicNames.count(topic)) continue;
        rows.push_back({integerOf(r[vId]), topic, integerOf(r[vNum]), integerOf(r[vCorrect]),
                        textOf(r[vText]), textOf(r[vImg]).trimmed()});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return a.topic != b.topic ? a.topic < b.topic : a.number < b.number;
    });
    // The answers of the questions taken, by question id and answer number.
    QHash<qint64, std::vector<std::pair<qint64, QString>>> answers;
    for (const Row& q : rows) answers.insert(q.id, {});
    for (auto sc = otv.scan(); sc.next();) {
        const jet::Row& r = sc.row();
        auto it = answers.find(integerOf(r[aQuestion]));
        if (it != answers.end()) it->emplace_back(integerOf(r[aNum]), textOf(r[aText]));
    }

    formats::QuestionSet out;
    QHash<QString, int> pictureByName;  // by the name in lower case: one file, one picture
    for (const Row& q : rows) {
        formats::Question f;
        f.topic = topicNames.at(q.topic);
        f.text = q.text;
        f.where.name = QStringLiteral("тема %1, вопрос %2").arg(q.topic).arg(q.number);
        auto& list = answers[q.id];
        std::stable_sort(list.begin(), list.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [number, text] : list) {
            f.answers.push_back(text);
            if (number == q.correct && f.correct == 0) f.correct = int(f.answers.size());
        }
        if (f.correct == 0) f.correct = int(std::clamp<qint64>(q.correct, -1, 1000));
        if (!q.img.isEmpty()) {
            const QString key = q.img.toLower();
            auto it = pictureByName.constFind(key);
            if (it == pictureByName.constEnd()) {
                formats::Picture p{q.img, {}, false};
                const QString file = pictureFileIn(dataFolder, q.img);
                QFile in(file);
                if (!file.isEmpty() && in.open(QIODevice::ReadOnly)) {
                    p.bytes = in.readAll();
                    p.embedded = in.error() == QFileDevice::NoError;
                    if (!p.embedded) p.bytes.clear();
                }
                it = pictureByName.insert(key, int(out.pictures.size()));
                out.pictures.push_back(std::move(p));
            }
            f.picture = *it;
        }
        out.questions.push_back(std::move(f));
    }
    return out;
}

formats::ReadResult readOtherBank(const QString& path, const formats::Limits& limits) {
    formats::ReadResult out;
    try {
        auto db = jet::Database::open(QFile::encodeName(path).toStdString());
        static_cast<formats::QuestionSet&>(out) =
            bankQuestions(*db, dataFolderBeside(QFileInfo(path).absolutePath()));
    } catch (const jet::Error& e) {
        formats::refuse(out, QString::fromUtf8(e.what()));
        return out;
    }
    // A picture that is not a picture travels as a name, as a missing one does: the questions
    // keep it and the problem list shows it.
    for (formats::Picture& p : out.pictures)
        if (p.embedded && formats::pictureType(p.bytes) == formats::PictureType::Unknown) {
            p.embedded = false;
            p.bytes.clear();
        }
    formats::checkQuestions(out, limits);
    return out;
}

formats::ReadResult readImportSource(const QString& path, formats::Format format,
                                     const formats::Limits& limits) {
    if (format == formats::Format::Mdb) return readOtherBank(path, limits);
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        formats::ReadResult out;
        formats::refuse(out, QStringLiteral("Cannot open file \"%1\". %2")
                                 .arg(QFileInfo(path).absoluteFilePath(), file.errorString()));
        return out;
    }
    return formats::read(format, bytes, limits);
}

}  // namespace zn
