// The bank's rows (see rows.h).
#include "store/rows.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "jet/database.h"
#include "jet/error.h"
#include "store/schema.h"

namespace zn {

namespace {

size_t columnOf(jet::Table& t, const char* name) {
    const int i = t.columnIndex(name);
    if (i < 0)
        throw jet::Error(jet::ErrorKind::NotFound, "table " + t.name() + " has no column " + name);
    return size_t(i);
}

}  // namespace

qint64 integerOf(const jet::Value& v) {
    if (const auto* i = std::get_if<int64_t>(&v)) return *i;
    // A stored double out of the integers' range (or not a number) is no number of ours.
    if (const auto* d = std::get_if<double>(&v))
        return std::isfinite(*d) && std::fabs(*d) < 9.0e18 ? qint64(*d) : 0;
    if (const auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
    return 0;
}

QString textOf(const jet::Value& v) {
    if (const auto* s = std::get_if<std::u16string>(&v))
        return QString::fromUtf16(s->data(), qsizetype(s->size()));
    return {};
}

namespace {

const jet::Value& at(const jet::Row& r, size_t i) {
    static const jet::Value none;
    return i < r.size() ? r[i] : none;
}

// A row of `width` nulls, and `given` of as many falses.
jet::Row blank(size_t width, std::vector<bool>& given) {
    given.assign(width, false);
    return jet::Row(width);
}

void set(jet::Row& r, std::vector<bool>& given, size_t i, jet::Value v) {
    r[i] = std::move(v);
    given[i] = true;
}

// The id, unless it is 0: then the table numbers the row.
void setId(jet::Row& r, std::vector<bool>& given, size_t i, qint64 id) {
    if (id != 0) set(r, given, i, int64_t(id));
}

std::u16string u16(const QString& s) {
    return s.toStdU16String();
}

// The row count the table's definition states, as a capacity hint: the file may lie, so it is
// capped.
size_t reserveHint(jet::Table& t) {
    return std::min<size_t>(t.def().rowCount, 1u << 16);
}

}  // namespace

TopicColumns::TopicColumns(jet::Table& t)
    : width(t.def().columns.size()),
      id(columnOf(t, "id")),
      numtema(columnOf(t, "numtema")),
      tema(columnOf(t, "tema")),
      kolvopr(columnOf(t, "kolvopr")) {}

QuestionColumns::QuestionColumns(jet::Table& t)
    : width(t.def().columns.size()),
      id(columnOf(t, "id")),
      idtest(columnOf(t, "idtest")),
      idvopr(columnOf(t, "idvopr")),
      vopros(columnOf(t, "vopros")),
      otvet(columnOf(t, "otvet")),
      kolotvet(columnOf(t, "kolotvet")),
      img(columnOf(t, "img")) {}

AnswerColumns::AnswerColumns(jet::Table& t)
    : width(t.def().columns.size()),
      id(columnOf(t, "id")),
      idvopr(columnOf(t, "idvopr")),
      idotv(columnOf(t, "idotv")),
      otvet(columnOf(t, "otvet")) {}

Topic topicOf(const TopicColumns& c, const jet::Row& r) {
    return {integerOf(at(r, c.id)), integerOf(at(r, c.numtema)), textOf(at(r, c.tema)),
            integerOf(at(r, c.kolvopr))};
}

Question questionOf(const QuestionColumns& c, const jet::Row& r) {
    Question q;
    q.id = integerOf(at(r, c.id));
    q.idtest = integerOf(at(r, c.idtest));
    q.idvopr = integerOf(at(r, c.idvopr));
    q.vopros = textOf(at(r, c.vopros));
    q.otvet = integerOf(at(r, c.otvet));
    q.kolotvet = integerOf(at(r, c.kolotvet));
    q.img = textOf(at(r, c.img));
    return q;
}

Answer answerOf(const AnswerColumns& c, const jet::Row& r) {
    return {integerOf(at(r, c.id)), integerOf(at(r, c.idvopr)), integerOf(at(r, c.idotv)),
            textOf(at(r, c.otvet))};
}

jet::Row rowOf(const TopicColumns& c, const Topic& t, std::vector<bool>& given) {
    jet::Row r = blank(c.width, given);
    setId(r, given, c.id, t.id);
    set(r, given, c.numtema, int64_t(t.numtema));
    set(r, given, c.tema, u16(t.tema));
    set(r, given, c.kolvopr, int64_t(t.kolvopr));
    return r;
}

jet::Row rowOf(const QuestionColumns& c, const Question& q, std::vector<bool>& given) {
    jet::Row r = blank(c.width, given);
    setId(r, given, c.id, q.id);
    set(r, given, c.idtest, int64_t(q.idtest));
    set(r, given, c.idvopr, int64_t(q.idvopr));
    set(r, given, c.vopros, u16(q.vopros));
    set(r, given, c.otvet, int64_t(q.otvet));
    set(r, given, c.kolotvet, int64_t(q.kolotvet));
    if (!q.img.isEmpty()) set(r, given, c.img, u16(q.img));
    return r;
}

jet::Row rowOf(const AnswerColumns& c, const Answer& a, std::vector<bool>& given) {
    jet::Row r = blank(c.width, given);
    setId(r, given, c.id, a.id);
    set(r, given, c.idvopr, int64_t(a.idvopr));
    set(r, given, c.idotv, int64_t(a.idotv));
    set(r, given, c.otvet, u16(a.otvet));
    return r;
}

jet::Table& topicTable(jet::Database& db) {
    return db.table(schema::kTema.toStdString());
}

jet::Table& questionTable(jet::Database& db) {
    return db.table(schema::kVoprosi.toStdString());
}

jet::Table& answerTable(jet::Database& db) {
    return db.table(schema::kOtveti.toStdString());
}

BankTables::BankTables(jet::Database& db)
    : tema(topicTable(db)),
      vopr(questionTable(db)),
      otv(answerTable(db)),
      topicColumns(tema),
      questionColumns(vopr),
      answerColumns(otv) {}

BankRows readBankRows(jet::Database& db) {
    jet::Database::ReadScope scope(db);
    BankRows b;
    {
        jet::Table& t = topicTable(db);
        const TopicColumns c(t);
        for (auto s = t.scan(); s.next();) {
            b.topics.push_back(topicOf(c, s.row()));
            b.topicRows.push_back(s.id());
        }
    }
    {
        jet::Table& t = questionTable(db);
        const QuestionColumns c(t);
        b.questions.reserve(reserveHint(t));
        b.questionRows.reserve(reserveHint(t));
        for (auto s = t.scan(); s.next();) {
            b.questions.push_back(questionOf(c, s.row()));
            b.questionRows.push_back(s.id());
        }
    }
    {
        jet::Table& t = answerTable(db);
        const AnswerColumns c(t);
        b.answers.reserve(reserveHint(t));
        b.answerRows.reserve(reserveHint(t));
        for (auto s = t.scan(); s.next();) {
            b.answers.push_back(answerOf(c, s.row()));
            b.answerRows.push_back(s.id());
        }
    }
    return b;
}

}  // namespace zn
