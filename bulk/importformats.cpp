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
#include "store/enginepath.h"
#include "store/rows.h"

namespace zn {

namespace {

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
    const zn::BankRows bank = zn::readBankRows(db);
    const std::set<qint64> wanted(topics.begin(), topics.end());

    // Topics by number (the first of a number that two topics share).
    std::map<qint64, QString> topicNames;
    for (const zn::Topic& t : bank.topics)
        if (wanted.empty() || wanted.count(t.numtema)) topicNames.emplace(t.numtema, t.tema);
    std::vector<const zn::Question*> rows;
    for (const zn::Question& q : bank.questions)
        if (topicNames.count(q.idtest)) rows.push_back(&q);
    std::stable_sort(rows.begin(), rows.end(), [](const auto* a, const auto* b) {
        return a->idtest != b->idtest ? a->idtest < b->idtest : a->idvopr < b->idvopr;
    });
    // The answers of the questions taken, by question id and answer number.
    QHash<qint64, std::vector<std::pair<qint64, QString>>> answers;
    for (const zn::Question* q : rows) answers.insert(q->id, {});
    for (const zn::Answer& a : bank.answers) {
        auto it = answers.find(a.idvopr);
        if (it != answers.end()) it->emplace_back(a.idotv, a.otvet);
    }

    formats::QuestionSet out;
    QHash<QString, int> pictureByName;  // by the name in lower case: one file, one picture
    for (const zn::Question* row : rows) {
        const zn::Question& q = *row;
        const QString img = q.img.trimmed();
        formats::Question f;
        f.topic = topicNames.at(q.idtest);
        f.text = q.vopros;
        f.where.name = QStringLiteral("тема %1, вопрос %2").arg(q.idtest).arg(q.idvopr);
        auto& list = answers[q.id];
        std::stable_sort(list.begin(), list.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [number, text] : list) {
            f.answers.push_back(text);
            if (number == q.otvet && f.correct == 0) f.correct = int(f.answers.size());
        }
        if (f.correct == 0) f.correct = int(std::clamp<qint64>(q.otvet, -1, 1000));
        if (!img.isEmpty()) {
            const QString key = img.toLower();
            auto it = pictureByName.constFind(key);
            if (it == pictureByName.constEnd()) {
                formats::Picture p{img, {}, false};
                const QString file = pictureFileIn(dataFolder, img);
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
        auto db = jet::Database::open(enginePath(path));
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
