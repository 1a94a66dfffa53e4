// Export and import of the exchange file over the data module.
#include "bulk/importexport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <algorithm>
#include <optional>

#include "jet/database.h"
#include "store/convert.h"
#include "store/filecommand.h"
#include "store/rows.h"
#include "store/schema.h"
#include "store/tdatmod.h"
#include "store/values.h"

namespace zn {

namespace {

QString fullPath(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

// The current row's id, when there is one.
std::optional<qint64> currentId(const Dataset& d) {
    if (!d.isOpen() || d.recNo() == 0 || d.isNull("id")) return std::nullopt;
    return d.asInteger("id");
}

// The range of an integer column as the open database defines it (`rule` unchanged for a column
// of another type or a missing one).
void takeRange(jet::Table& t, const char* column, exchange::IntegerRule& rule) {
    const int i = t.columnIndex(column);
    if (i < 0) return;
    qint64 min = 0, max = 0;
    if (zn::integerRange(t.def().columns[size_t(i)].type, min, max)) rule.min = min, rule.max = max;
}

int textWidth(jet::Table& t, const char* column, int fallback) {
    const int i = t.columnIndex(column);
    if (i < 0) return fallback;
    const jet::Column& c = t.def().columns[size_t(i)];
    return c.type == jet::ColType::Text ? int(c.maxChars()) : 0;
}

exchange::IntegerRule ruleFor(jet::Table& t, const QString& table, const char* column) {
    exchange::IntegerRule r;
    r.label = schema::displayLabel(table, QString::fromLatin1(column));
    if (r.label.isEmpty()) r.label = QString::fromLatin1(column);
    r.min = INT32_MIN, r.max = INT32_MAX;
    takeRange(t, column, r);
    return r;
}

}  // namespace

QString faultMessage(const exchange::Fault& fault) {
    return fault.message + QStringLiteral("\nСтрока ") + QString::number(fault.line);
}

BankExchange::BankExchange(TDatMod& dm, Feedback& feedback, const Session& session,
                           std::function<void()> treeObnov)
    : dm_(dm), fb_(feedback), deletion_(dm, feedback, session), treeObnov_(std::move(treeObnov)) {}

void BankExchange::rebuildTree() {
    if (treeObnov_) treeObnov_();
}

// ---------------------------------------------------------------------------------------------
// Export

exchange::Bank BankExchange::readBank() {
    exchange::Bank bank;
    DbDataset& topics = dm_.qrtema;
    DbDataset& questions = dm_.qrvoprosi;
    DbDataset& answers = dm_.qrotveti;
    if (!topics.isOpen() || topics.recordCount() == 0) return bank;
    const std::optional<qint64> topicId = currentId(topics);
    const std::optional<qint64> questionId = currentId(questions);
    const std::optional<qint64> answerId = currentId(answers);

    // Moving the topics re-queries their questions, moving the questions their answers.
    for (topics.first(); !topics.eof(); topics.next()) {
        const zn::Topic t = zn::topicAt(topics);
        bank.topics.push_back(exchange::topicLine(t));
        if (questions.isOpen() && questions.recordCount() > 0) {
            for (questions.first(); !questions.eof(); questions.next()) {
                exchange::QuestionBlock b = exchange::questionBlock(zn::questionAt(questions));
                b.idtest = t.numtema;
                if (answers.isOpen() && answers.recordCount() > 0)
                    for (answers.first(); !answers.eof(); answers.next())
                        b.answers.push_back(exchange::answerLine(zn::answerAt(answers)));
                bank.questions.push_back(std::move(b));
            }
        }
        fb_.progressStep();
    }

    // The cursors go back to the rows the tree's selection put them on.
    if (topicId && topics.locate(QStringLiteral("id"), *topicId) && questionId &&
        questions.isOpen() && questions.locate(QStringLiteral("id"), *questionId) && answerId &&
        answers.isOpen())
        answers.locate(QStringLiteral("id"), *answerId);
    return bank;
}

QString BankExchange::hazardMessage(const std::vector<exchange::Hazard>& hazards) {
    if (hazards.empty()) return {};
    QString out =
        QStringLiteral("Файл записан, но прочитать его обратно в ту же базу не получится:");
    const size_t shown = std::min(hazards.size(), size_t(kHazardsShown));
    for (size_t i = 0; i < shown; ++i) {
        const exchange::Hazard& h = hazards[i];
        const QString item = h.question < 0
                                 ? QStringLiteral("тема %1 «%2»").arg(h.topic).arg(h.topicName)
                                 : QStringLiteral("вопрос %1 темы %2").arg(h.question).arg(h.topic);
        out += QStringLiteral("\n— ") + item + QStringLiteral(": ") + h.what + u';';
    }
    out.chop(1);
    out += u'.';
    if (hazards.size() > shown)
        out += QStringLiteral("\nВсего таких тем и вопросов: %1.").arg(hazards.size());
    return out;
}

bool BankExchange::exportTo(const QString& path) {
    fb_.progressMax(kProgressMax);
    fb_.progressPosition(0);
    if (!dm_.qrtema.isOpen() || dm_.qrtema.recordCount() == 0) return false;
    const exchange::Bank bank = readBank();
    const QByteArray bytes = exchange::format(bank);
    // The file appears whole or not at all; an existing one is replaced.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw BulkError(QStringLiteral("Cannot create file \"%1\". %2")
                            .arg(fullPath(path), file.errorString()));
    const std::vector<exchange::Hazard> hazards = exchange::readBackHazards(bank, fieldRules());
    if (!hazards.empty()) fb_.message(Feedback::Box::Info, hazardMessage(hazards));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Import

QByteArray BankExchange::readFile(const QString& path) {
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError)
        throw BulkError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(fullPath(path), file.errorString()));
    return bytes;
}

exchange::FieldRules BankExchange::fieldRules() {
    exchange::FieldRules r = exchange::FieldRules::standard();
    if (!dm_.Conn.isOpen()) return r;
    jet::Database& db = dm_.Conn.database();
    jet::Table& tema = zn::topicTable(db);
    jet::Table& vopr = zn::questionTable(db);
    jet::Table& otv = zn::answerTable(db);
    takeRange(tema, "numtema", r.numtema);
    takeRange(vopr, "idtest", r.idtest);
    takeRange(vopr, "idvopr", r.idvopr);
    takeRange(vopr, "otvet", r.otvet);
    takeRange(vopr, "kolotvet", r.kolotvet);
    takeRange(otv, "idotv", r.idotv);
    r.temaChars = textWidth(tema, "tema", r.temaChars);
    r.imgChars = textWidth(vopr, "img", r.imgChars);
    return r;
}

exchange::Bank BankExchange::checkedBank(const QByteArray& bytes) {
    exchange::ParseResult r = exchange::parse(bytes, fieldRules());
    if (r.faults.empty() && dm_.Conn.isOpen()) {
        // What the import itself stores: each topic's question count, and the question ids
        // 1, 2, 3 … that the answers refer to.
        jet::Database& db = dm_.Conn.database();
        const exchange::IntegerRule count =
            ruleFor(db.table(schema::kTema.toStdString()), schema::kTema, "kolvopr");
        const exchange::IntegerRule ref =
            ruleFor(db.table(schema::kOtveti.toStdString()), schema::kOtveti, "idvopr");
        QHash<qint64, qint64> counts;
        for (const auto& q : r.bank.questions) ++counts[q.idtest];
        for (const auto& t : r.bank.topics) {
            const qint64 n = counts.value(t.numtema);
            if (n > count.max) {
                r.faults.push_back(
                    {t.line, zn::rangeErrorMessage(double(n), count.label, double(count.min),
                                                   double(count.max))});
                break;
            }
        }
        for (size_t i = 0; i < r.bank.questions.size(); ++i) {
            const auto& q = r.bank.questions[i];
            const qint64 id = qint64(i) + 1;
            if (id > ref.max && !q.answers.empty()) {
                r.faults.push_back({q.answers.front().line,
                                    zn::rangeErrorMessage(double(id), ref.label, double(ref.min),
                                                          double(ref.max))});
                break;
            }
        }
        std::stable_sort(r.faults.begin(), r.faults.end(),
                         [](const auto& a, const auto& b) { return a.line < b.line; });
    }
    if (!r.faults.empty()) throw BulkError(faultMessage(r.faults.front()));
    return std::move(r.bank);
}

void BankExchange::replaceBank(const exchange::Bank& bank) {
    dm_.write([&] {
        deletion_.deleteRows();
        fb_.progressPosition(0);
        fb_.progressMax(kProgressMax);
        fb_.status(QStringLiteral("Импорт данных"));

        const zn::BankTables tables(dm_.Conn.database());

        QHash<qint64, qint64> counts;  // questions per topic number
        for (const auto& q : bank.questions) ++counts[q.idtest];

        // The tables are empty now: the rows are numbered from 1, in file order, as a compacted
        // empty table would number them. Columns not written are left at the database's
        // default, as the question editor leaves them.
        std::vector<bool> given;
        int64_t topicId = 0, questionId = 0, answerId = 0;
        auto storeTopic = [&](const exchange::TopicLine& t) {
            zn::Topic value = exchange::topicValue(t);
            value.id = ++topicId;
            value.kolvopr = counts.value(t.numtema);
            jet::Row row = zn::rowOf(tables.topicColumns, value, given);
            dm_.Conn.insertRow(tables.tema, row, given);
            fb_.progressStep();
        };
        auto storeQuestion = [&](const exchange::QuestionBlock& q) {
            zn::Question value = exchange::questionValue(q);
            value.id = ++questionId;
            jet::Row row = zn::rowOf(tables.questionColumns, value, given);
            dm_.Conn.insertRow(tables.vopr, row, given);
            for (const exchange::AnswerLine& a : q.answers) {
                zn::Answer answer = exchange::answerValue(a);
                answer.id = ++answerId;
                answer.idvopr = questionId;
                jet::Row answerRow = zn::rowOf(tables.answerColumns, answer, given);
                dm_.Conn.insertRow(tables.otv, answerRow, given);
            }
        };
        // In file order, so that the progress bar follows the topic lines.
        size_t t = 0, q = 0;
        while (t < bank.topics.size() || q < bank.questions.size()) {
            if (q >= bank.questions.size() ||
                (t < bank.topics.size() && bank.topics[t].line <= bank.questions[q].line))
                storeTopic(bank.topics[t++]);
            else
                storeQuestion(bank.questions[q++]);
        }
    });
}

void BankExchange::finishImport() {
    deletion_.compactAndReopen();
    fb_.status(QStringLiteral("Обновление дерева"));
    rebuildTree();
    fb_.status(QString());
    fb_.progressPosition(0);
}

QString BankExchange::emptyFileQuestion() {
    return QStringLiteral("В файле не найдено ни одного вопроса. Удалить все данные базы?");
}

bool BankExchange::importFrom(const QString& path) {
    requireWritable(dm_);
    const exchange::Bank bank = checkedBank(readFile(path));
    if (bank.topics.empty() && bank.questions.empty() && !fb_.ask(emptyFileQuestion()))
        return false;
    FileCommand command(dm_, deletion_.databasePath(), QStringLiteral("импорт"));
    replaceBank(bank);
    finishImport();
    return true;
}

}  // namespace zn
