// The bank's rows, read and written one way: the columns of Tema, Voprosi and Otveti found by
// name once per table, a row of the engine turned into a value of store/values.h and back, and
// the three tables read whole. Every command that touches rows without a dataset (the check,
// its repairs, the import, the printout) goes through here, so a new column of a question is
// taught to the code in this file and values.h.
#pragma once

#include <vector>

#include "jet/row.h"
#include "jet/tabledef.h"
#include "store/values.h"

namespace jet {
class Database;
class Table;
}  // namespace jet

namespace zn {

// Where each column of a table's rows is. Constructing one throws the engine's NotFound error,
// naming the table and the column, when the table lacks a column the editor needs.
struct TopicColumns {
    explicit TopicColumns(jet::Table& t);
    size_t width, id, numtema, tema, kolvopr;
};
struct QuestionColumns {
    explicit QuestionColumns(jet::Table& t);
    size_t width, id, idtest, idvopr, vopros, otvet, kolotvet, img;
};
struct AnswerColumns {
    explicit AnswerColumns(jet::Table& t);
    size_t width, id, idvopr, idotv, otvet;
};

// One stored value as a number (0 when missing, not a number or out of range) and as a text
// (empty when missing or not a text).
qint64 integerOf(const jet::Value& v);
QString textOf(const jet::Value& v);

// A row as a value. Missing or non-integer numbers read as 0, missing texts as empty.
Topic topicOf(const TopicColumns& c, const jet::Row& r);
Question questionOf(const QuestionColumns& c, const jet::Row& r);
Answer answerOf(const AnswerColumns& c, const jet::Row& r);

// A new row holding the value and, in `given`, the columns it sets: the others are left to the
// database's defaults, as the question editor leaves them. An id of 0 is left to the table's
// auto-number (the insert then writes it into the row); a question without a picture leaves img
// unset.
jet::Row rowOf(const TopicColumns& c, const Topic& t, std::vector<bool>& given);
jet::Row rowOf(const QuestionColumns& c, const Question& q, std::vector<bool>& given);
jet::Row rowOf(const AnswerColumns& c, const Answer& a, std::vector<bool>& given);

// The bank as it is stored: every row of Tema, Voprosi and Otveti, in file order, with where it
// lives.
struct BankRows {
    std::vector<Topic> topics;
    std::vector<jet::RowId> topicRows;
    std::vector<Question> questions;
    std::vector<jet::RowId> questionRows;
    std::vector<Answer> answers;
    std::vector<jet::RowId> answerRows;
};

// Reads the three tables of an open test database (inside a read scope of its own). Engine errors
// propagate.
BankRows readBankRows(jet::Database& db);

// The three tables of `db`.
jet::Table& topicTable(jet::Database& db);
jet::Table& questionTable(jet::Database& db);
jet::Table& answerTable(jet::Database& db);

// The three tables of `db` with where their columns are, for a command that writes rows.
struct BankTables {
    explicit BankTables(jet::Database& db);
    jet::Table &tema, &vopr, &otv;
    const TopicColumns topicColumns;
    const QuestionColumns questionColumns;
    const AnswerColumns answerColumns;
};

}  // namespace zn
