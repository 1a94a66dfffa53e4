// Adding imported questions to the bank, or replacing the bank with them.
#include "bulk/addimport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <map>

#include "bulk/importexport.h"
#include "bulk/importformats.h"
#include "jet/database.h"
#include "store/backups.h"
#include "store/convert.h"
#include "store/filecommand.h"
#include "store/rows.h"
#include "store/schema.h"
#include "store/tdatmod.h"
#include "store/values.h"

namespace zn {

namespace {

const QString kAddLabel = QStringLiteral("добавление вопросов");
const QString kReplaceLabel = QStringLiteral("импорт");

// The largest value an integer column takes (`fallback` for another type).
qint64 maxOf(jet::Table& t, const char* column, qint64 fallback) {
    const int i = t.columnIndex(column);
    qint64 min = 0, max = 0;
    if (i >= 0 && zn::integerRange(t.def().columns[size_t(i)].type, min, max)) return max;
    return fallback;
}

// The bank as an add sees it: its topics and, per topic number, its questions.
struct BankState {
    struct Topic {
        qint64 numtema = 0;
        QString name;
        jet::RowId row;
    };
    std::vector<Topic> topics;         // in numtema order
    QHash<qint64, qint64> count;       // questions per idtest
    QHash<qint64, qint64> lastNumber;  // largest idvopr per idtest
    qint64 lastQuestionId = 0;         // Voprosi's last auto-number
    qint64 maxNumber = 32767;          // Voprosi.idvopr
    qint64 maxCount = 32767;           // Tema.kolvopr
    qint64 maxQuestionId = 32767;      // Otveti.idvopr: the ids answers can refer to
};

BankState readState(TDatMod& dm, bool withRows) {
    BankState s;
    if (!dm.Conn.isOpen()) return s;
    jet::Database& db = dm.Conn.database();
    jet::Table& tema = zn::topicTable(db);
    jet::Table& vopr = zn::questionTable(db);
    jet::Table& otv = zn::answerTable(db);
    s.maxNumber = maxOf(vopr, "idvopr", s.maxNumber);
    s.maxCount = maxOf(tema, "kolvopr", s.maxCount);
    s.maxQuestionId = maxOf(otv, "idvopr", s.maxQuestionId);
    if (!withRows) return s;
    const zn::TopicColumns t(tema);
    for (auto sc = tema.scan(); sc.next();) {
        const zn::Topic topic = zn::topicOf(t, sc.row());
        s.topics.push_back({topic.numtema, topic.tema, sc.id()});
    }
    std::stable_sort(s.topics.begin(), s.topics.end(),
                     [](const auto& a, const auto& b) { return a.numtema < b.numtema; });
    // Numbers only: the texts (long values) are not read.
    const zn::QuestionColumns q(vopr);
    for (auto sc = vopr.scan(false); sc.next();) {
        const qint64 topic = zn::integerOf(sc.row()[q.idtest]);
        ++s.count[topic];
        qint64& last = s.lastNumber[topic];
        last = std::max(last, zn::integerOf(sc.row()[q.idvopr]));
    }
    s.lastQuestionId = vopr.def().lastAutoNumber;
    return s;
}

formats::Limits limitsOf(BankExchange& exchange) {
    formats::Limits l = formats::Limits::standard();
    const exchange::FieldRules rules = exchange.fieldRules();
    l.topicChars = rules.temaChars;
    l.pictureChars = rules.imgChars;
    return l;
}

// The planned pictures that are new files, and which of them are on disk already.
QStringList newFiles(const ImportPlan& plan) {
    QStringList out;
    for (const formats::PlannedPicture& p : plan.pictures)
        if (p.write && !QFileInfo::exists(plan.dataFolder + p.name)) out << p.name;
    return out;
}

// Writes the plan's new pictures; returns the files written (for taking them back).
QStringList writePictures(const ImportPlan& plan) {
    const QStringList fresh = newFiles(plan);
    QString error;
    if (!formats::writePlannedPictures(plan.dataFolder, plan.read.pictures, plan.pictures, &error))
        throw BulkError(error);
    return fresh;
}

void removeFiles(const QString& folder, const QStringList& names) {
    for (const QString& n : names) QFile::remove(folder + n);
}

// The plan's question `i` as the bank stores it, numbered `number` in its topic (the id is left
// to the table).
zn::Question questionValue(const ImportPlan& plan, size_t i, qint64 number) {
    const formats::Question& q = plan.read.questions[i];
    zn::Question value;
    value.idtest = plan.topics[size_t(plan.topicOf[i])].numtema;
    value.idvopr = number;
    value.vopros = q.text;
    value.otvet = q.correct;
    value.kolotvet = qint64(q.answers.size());
    if (q.picture >= 0) value.img = plan.pictures[size_t(q.picture)].name;
    return value;
}

}  // namespace

int ImportPlan::questionCount() const {
    return exchangeReplace ? int(exchangeBank.questions.size()) : int(read.questions.size());
}

int ImportPlan::newPictureCount() const {
    return int(std::count_if(pictures.begin(), pictures.end(),
                             [](const formats::PlannedPicture& p) { return p.write; }));
}

QStringList describePlan(const ImportPlan& plan) {
    QStringList out;
    out << (plan.mode == ImportMode::Replace
                ? QStringLiteral("Все темы, вопросы и ответы базы будут заменены вопросами файла.")
                : QStringLiteral("Вопросы файла будут добавлены в базу; то, что в ней есть, "
                                 "не изменится."));
    if (plan.exchangeReplace) {
        QHash<qint64, int> counts;
        for (const auto& q : plan.exchangeBank.questions) ++counts[q.idtest];
        for (const auto& t : plan.exchangeBank.topics)
            out << QStringLiteral("Тема %1 «%2»: вопросов %3")
                       .arg(t.numtema)
                       .arg(t.tema)
                       .arg(counts.value(t.numtema));
        out << QStringLiteral("Всего тем: %1, вопросов: %2.")
                   .arg(plan.exchangeBank.topics.size())
                   .arg(plan.exchangeBank.questions.size());
        return out;
    }
    int created = 0;
    for (const ImportPlan::TopicPart& t : plan.topics) {
        if (t.questions == 0) continue;
        created += t.created;
        const qint64 last = t.firstNumber + t.questions - 1;
        out << QStringLiteral("Тема %1 «%2»%3: вопросов %4 (%5)")
                   .arg(t.numtema)
                   .arg(t.name,
                        t.created ? QStringLiteral(", новая") : QStringLiteral(", есть в базе"))
                   .arg(t.questions)
                   .arg(t.questions == 1
                            ? QStringLiteral("номер %1").arg(t.firstNumber)
                            : QStringLiteral("номера %1–%2").arg(t.firstNumber).arg(last));
    }
    out << QStringLiteral(
               "Всего вопросов: %1, новых тем: %2, рисунков: %3 (новых файлов в "
               "папке рисунков: %4).")
               .arg(plan.questionCount())
               .arg(created)
               .arg(plan.read.pictures.size())
               .arg(plan.newPictureCount());
    return out;
}

QStringList problemLines(const ImportPlan& plan) {
    QStringList out;
    for (const formats::Problem& p : plan.read.problems) {
        const QString where = p.where.describe();
        out << (where.isEmpty() ? p.what : where + QStringLiteral(": ") + p.what);
    }
    return out;
}

BankImport::BankImport(TDatMod& dm, Feedback& feedback, BankExchange& exchange,
                       std::function<void()> treeObnov)
    : dm_(dm), fb_(feedback), exchange_(exchange), treeObnov_(std::move(treeObnov)) {}

void BankImport::rebuildTree() {
    if (treeObnov_) treeObnov_();
}

ImportPlan BankImport::plan(const QString& path, formats::Format format, ImportMode mode,
                            const QString& dataFolder) {
    // Nothing can come into a bank that cannot be written: said before the file is read.
    requireWritable(dm_);
    if (format == formats::Format::Exchange && mode == ImportMode::Replace) {
        ImportPlan p;
        p.mode = mode;
        p.format = format;
        p.path = path;
        p.dataFolder = dataFolder;
        p.exchangeReplace = true;
        p.exchangeBank = exchange_.checkedBank(BankExchange::readFile(path));
        return p;
    }
    const formats::Limits limits = limitsOf(exchange_);
    QString topic = QFileInfo(path).completeBaseName();
    if (limits.topicChars > 0) topic = topic.left(limits.topicChars);
    ImportPlan p = planRead(readImportSource(path, format, limits), mode, dataFolder, topic);
    p.format = format;
    p.path = path;
    return p;
}

ImportPlan BankImport::planRead(formats::ReadResult read, ImportMode mode,
                                const QString& dataFolder, const QString& defaultTopic) {
    ImportPlan p;
    p.mode = mode;
    p.dataFolder =
        dataFolder.isEmpty() || dataFolder.endsWith(u'/') ? dataFolder : dataFolder + u'/';
    const BankState bank = readState(dm_, mode == ImportMode::Add);
    qint64 nextTopic = 1;
    for (const auto& t : bank.topics) nextTopic = std::max(nextTopic, t.numtema + 1);
    nextTopic = std::max<qint64>(nextTopic, qint64(bank.topics.size()) + 1);
    int topicCount = int(bank.topics.size());

    QHash<QString, int> partByName;
    QSet<QString> refused;  // topics that would be the 15th and later
    qint64 nextQuestionId = bank.lastQuestionId;
    std::vector<formats::Question> kept;
    for (formats::Question& q : read.questions) {
        const QString name = q.topic.isEmpty() ? defaultTopic : q.topic;
        auto problem = [&](const QString& what) { read.problems.push_back({q.where, what}); };
        if (refused.contains(name)) {
            problem(QStringLiteral("тема «%1»: %2")
                        .arg(name, zn::tooManyTopicsMessage(zn::kMaxTopics)));
            continue;
        }
        int part = partByName.value(name, -1);
        if (part < 0) {
            ImportPlan::TopicPart t;
            t.name = name;
            auto existing = std::find_if(bank.topics.begin(), bank.topics.end(),
                                         [&](const auto& b) { return b.name == name; });
            if (existing != bank.topics.end()) {
                t.numtema = existing->numtema;
                t.firstNumber = bank.lastNumber.value(t.numtema) + 1;
            } else if (topicCount >= zn::kMaxTopics) {
                refused.insert(name);
                problem(QStringLiteral("тема «%1»: %2")
                            .arg(name, zn::tooManyTopicsMessage(topicCount)));
                continue;
            } else {
                t.numtema = nextTopic++;
                t.created = true;
                t.firstNumber = 1;
                ++topicCount;
            }
            part = int(p.topics.size());
            partByName.insert(name, part);
            p.topics.push_back(t);
        }
        ImportPlan::TopicPart& t = p.topics[size_t(part)];
        const qint64 number = t.firstNumber + t.questions;
        const qint64 count = (t.created ? 0 : bank.count.value(t.numtema)) + t.questions + 1;
        if (number > bank.maxNumber) {
            problem(zn::rangeErrorMessage(double(number),
                                          schema::displayLabel(schema::kVoprosi, "idvopr"), 0,
                                          double(bank.maxNumber)));
            continue;
        }
        if (count > bank.maxCount) {
            problem(zn::rangeErrorMessage(double(count),
                                          schema::displayLabel(schema::kTema, "kolvopr"), 0,
                                          double(bank.maxCount)));
            continue;
        }
        // The answers refer to their question by its row id, which must fit their column.
        if (nextQuestionId + 1 > bank.maxQuestionId) {
            problem(zn::rangeErrorMessage(double(nextQuestionId + 1),
                                          schema::displayLabel(schema::kOtveti, "idvopr"), 0,
                                          double(bank.maxQuestionId)));
            continue;
        }
        ++nextQuestionId;
        ++t.questions;
        p.topicOf.push_back(part);
        kept.push_back(std::move(q));
    }
    read.questions = std::move(kept);

    // The pictures only the questions left out used are not written.
    std::vector<int> newIndex(read.pictures.size(), -1);
    std::vector<formats::Picture> pictures;
    for (formats::Question& q : read.questions) {
        if (q.picture < 0 || size_t(q.picture) >= read.pictures.size()) {
            q.picture = -1;
            continue;
        }
        int& n = newIndex[size_t(q.picture)];
        if (n < 0) {
            n = int(pictures.size());
            pictures.push_back(read.pictures[size_t(q.picture)]);
        }
        q.picture = n;
    }
    read.pictures = std::move(pictures);
    std::stable_sort(read.problems.begin(), read.problems.end(),
                     [](const formats::Problem& a, const formats::Problem& b) {
                         return a.where.line < b.where.line;
                     });
    const int pictureChars = std::max(limitsOf(exchange_).pictureChars, 6);
    p.pictures = formats::planPictureNames(
        read.pictures, formats::readPictureFolder(p.dataFolder, read.pictures), pictureChars);
    p.read = std::move(read);
    return p;
}

bool BankImport::run(const ImportPlan& plan) {
    if (plan.empty()) return true;
    if (plan.mode == ImportMode::Add) {
        add(plan);
        rebuildTree();
        return true;
    }
    return replace(plan);  // the replace path rebuilds the tree itself
}

void BankImport::add(const ImportPlan& plan) {
    // A bank that cannot be written gets no backup and no pictures.
    requireWritable(dm_);
    makeBackup(exchange_.deletion().databasePath(), kAddLabel);
    const QStringList written = writePictures(plan);
    try {
        dm_.write(kAddLabel, [&] {
            fb_.status(QStringLiteral("Импорт данных"));
            const zn::BankTables tables(dm_.Conn.database());
            // The ids (0) are the tables' next auto-numbers; columns not written keep the
            // database's defaults, as the question editor leaves them.
            std::vector<bool> given;

            // The touched topics' counts: the questions they hold now and the ones added.
            const BankState bank = readState(dm_, true);
            fb_.progressMax(int(plan.topics.size()));
            fb_.progressPosition(0);
            for (const ImportPlan::TopicPart& t : plan.topics) {
                if (t.questions == 0) continue;
                const qint64 count = bank.count.value(t.numtema) + t.questions;
                if (t.created) {
                    jet::Row row = zn::rowOf(tables.topicColumns,
                                             zn::Topic{0, t.numtema, t.name, count}, given);
                    dm_.Conn.insertRow(tables.tema, row, given);
                } else {
                    auto it = std::find_if(bank.topics.begin(), bank.topics.end(),
                                           [&](const auto& b) { return b.numtema == t.numtema; });
                    if (it != bank.topics.end()) {
                        jet::Row row = *dm_.Conn.readRow(tables.tema, it->row);
                        const size_t kolvopr = tables.topicColumns.kolvopr;
                        if (zn::integerOf(row[kolvopr]) != count) {
                            row[kolvopr] = int64_t(count);
                            dm_.Conn.updateRow(tables.tema, it->row, row);
                        }
                    }
                }
                fb_.progressStep();
            }
            std::vector<qint64> next(plan.topics.size());
            for (size_t k = 0; k < plan.topics.size(); ++k) next[k] = plan.topics[k].firstNumber;
            for (size_t i = 0; i < plan.read.questions.size(); ++i) {
                const size_t part = size_t(plan.topicOf[i]);
                jet::Row row =
                    zn::rowOf(tables.questionColumns, questionValue(plan, i, next[part]++), given);
                dm_.Conn.insertRow(tables.vopr, row, given);
                const qint64 id = zn::integerOf(row[tables.questionColumns.id]);
                qint64 number = 0;
                for (const QString& text : plan.read.questions[i].answers) {
                    jet::Row answer =
                        zn::rowOf(tables.answerColumns, zn::Answer{0, id, ++number, text}, given);
                    dm_.Conn.insertRow(tables.otv, answer, given);
                }
            }
        });
    } catch (...) {
        removeFiles(plan.dataFolder, written);
        fb_.status(QString());
        throw;
    }
    fb_.status(QString());
    fb_.progressPosition(0);
}

bool BankImport::replace(const ImportPlan& plan) {
    // The exchange file's own import, with its question before a file that yields nothing
    // empties the bank.
    if (plan.exchangeReplace) return exchange_.importFrom(plan.path);
    // The questions as an exchange file would hold them: topics numbered in the plan's order,
    // questions and answers from 1.
    exchange::Bank bank;
    for (const ImportPlan::TopicPart& t : plan.topics)
        if (t.questions > 0) bank.topics.push_back({t.numtema, t.name, 0});
    std::vector<qint64> next(plan.topics.size(), 1);
    for (size_t i = 0; i < plan.read.questions.size(); ++i) {
        const size_t part = size_t(plan.topicOf[i]);
        exchange::QuestionBlock b = exchange::questionBlock(questionValue(plan, i, next[part]++));
        qint64 number = 0;
        for (const QString& a : plan.read.questions[i].answers)
            b.answers.push_back({++number, a, 0});
        bank.questions.push_back(std::move(b));
    }
    // Topic lines and question blocks in the order replaceBank stores them: each topic before
    // its questions.
    int line = 0;
    std::map<qint64, int> topicLine;
    for (auto& t : bank.topics) topicLine[t.numtema] = t.line = ++line;
    for (auto& q : bank.questions) q.line = topicLine[q.idtest] + 1;

    FileCommand command(dm_, exchange_.deletion().databasePath(), kReplaceLabel);
    const QStringList written = writePictures(plan);
    try {
        exchange_.replaceBank(bank);
    } catch (...) {
        removeFiles(plan.dataFolder, written);
        throw;
    }
    exchange_.finishImport();
    return true;
}

}  // namespace zn
