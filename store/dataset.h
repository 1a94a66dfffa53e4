// Datasets: a static result of rows with one cursor, the operations the editor uses on it
// (open, close, first, next, end-of-data test, locate, row count, edit, insert, post, cancel,
// delete, reading and writing a column of the current row) and two notifications the data
// module chains on. Dataset is the common part; DbDataset (a query or table on the
// connection) and MemTable (rows held only in memory) supply the rows and store the changes.
//
// Cursor rules, which the master-detail chain and the callers rely on:
// - open() gives a static result in the dataset's order with the cursor on the first row;
//   bof() is true, eof() is true only for an empty result. Rows inserted since are counted,
//   deleted rows are not.
// - next() steps to the following row; leaving the last row sets eof() and keeps the last row
//   current, so its columns still read. next() at eof() does nothing.
// - locate() puts the cursor on the first matching row in result order; when none matches it
//   returns false and changes nothing.
// - insert() appends a blank row (every column NULL) to the result and makes it current; post()
//   stores it, after which its auto-number (`id`) reads back. cancel() drops it again and
//   returns to the row that was current before.
// - edit() lets the current row's columns be written; post() stores only the columns written,
//   so stored values of other columns stay as they are. A post() the engine refuses cancels the
//   insert or edit before the error propagates: nothing is left pending for a later movement.
// - remove() deletes the current row; the following row becomes current, else the previous one.
// - first(), next(), locate(), insert() and remove() post a pending edit or insert first (one
//   that wrote no column is cancelled instead); close() discards it.
//
// Notifications (plain callbacks, set by the owner):
// - afterScroll: a cursor movement, that is opening on a result with at least one row, first()
//   (also on an empty result), next() (unless already at eof()), a locate() that finds a row
//   (even the current one), insert() and remove(). Not edit(), post(), cancel(), close() nor a
//   locate() that finds nothing.
// - onDataChange: the data may look different: open(), every cursor movement above, a written
//   column, post(), cancel().
//
// Columns are found by name without regard to case. Reading: a NULL column reads as 0 or as
// empty text; memo columns read and write as text; with no current row every column reads as
// NULL. Writing checks the value against the column before the engine sees it and throws
// jet::Error(Constraint) with the library's messages:
//   "%g is not a valid value for field '%s'. The allowed range is %g to %g" (BYTE 0..255,
//     INT -32768..32767, LONG -2147483648..2147483647),
//   "'%s' is not a valid integer value" (text written into an integer column),
//   "The field is too small to accept the amount of data you attempted to add. Try inserting
//     or pasting less data." (text longer than its column),
//   "Field '%s' cannot be modified" (an auto-number column).
// %s is the column's display label where the data module gives it one, else its name.
// Operations on a closed dataset, writes outside edit or insert mode and changes on an empty
// dataset throw jet::Error(Usage) with the dataset's name in front of the message.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "jet/row.h"
#include "jet/tabledef.h"

namespace zn {

enum class DatasetState { Inactive, Browse, Edit, Insert };

class Dataset {
  public:
    explicit Dataset(QString name);
    virtual ~Dataset();
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;

    const QString& name() const { return name_; }

    // --- Opening and closing
    void open();  // does nothing when already open
    void close();
    bool isOpen() const { return state_ != DatasetState::Inactive; }
    DatasetState state() const { return state_; }

    // --- The cursor (all REQUIRE an open dataset)
    void first();
    void next();
    bool eof() const;
    bool bof() const;
    // Exact match of an integer column (a text column compares with the decimal text).
    bool locate(const QString& column, qint64 value);
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // Position of the current row, from 1; 0 when there is none.
    int recNo() const;

    // --- Changes
    void edit();  // REQUIRES a current row; nothing happens in edit or insert mode
    void insert();
    void post();    // nothing happens in browse mode
    void cancel();  // nothing happens in browse mode
    void remove();  // in insert mode the same as cancel()

    // --- Columns of the current row
    QStringList fieldNames() const;  // in the order the dataset presents them
    bool hasField(const QString& column) const;
    // The label used in messages: the display label, else the column's name.
    QString displayName(const QString& column) const;
    bool isNull(const QString& column) const;
    qint64 asInteger(const QString& column) const;  // text columns are converted (may throw)
    QString asString(const QString& column) const;
    double asFloat(const QString& column) const;
    QVariant value(const QString& column) const;  // invalid QVariant for NULL

    // REQUIRE edit or insert mode.
    void setInteger(const QString& column, qint64 value);
    // An empty text makes a numeric column NULL.
    void setString(const QString& column, const QString& value);
    void setFloat(const QString& column, double value);
    void setNull(const QString& column);
    void setValue(const QString& column, const QVariant& value);  // dispatches on the type

    // --- Notifications (see the top of this file)
    std::function<void()> afterScroll;
    std::function<void()> onDataChange;

  protected:
    struct Field {
        QString name;
        QString label;  // empty: none
        jet::ColType type = jet::ColType::Long;
        int maxChars = 0;  // TEXT: characters the column holds
        bool autoNumber = false;
        bool cutText = false;  // longer text is cut to maxChars instead of refused
        int rowIndex = 0;      // position of the column's value in a record's row
    };
    struct Record {
        std::shared_ptr<const jet::Row> values;  // shared with the connection's row cache
        std::optional<jet::RowId> rowId;         // where a stored row lives
    };

    // Supplies the columns and the rows of a fresh result, in result order.
    virtual void doOpen(std::vector<Field>& fields, std::vector<Record>& rows) = 0;
    virtual void doClose() {}
    // Width of a record's row (blank rows for insert()).
    virtual size_t rowWidth() const = 0;
    // Stores a new row; `modified` flags the row positions written. Returns the stored record.
    virtual Record doInsert(jet::Row row, const std::vector<bool>& modified) = 0;
    // Stores the written positions of `row` over the stored row of `old`.
    virtual Record doUpdate(const Record& old, const jet::Row& row,
                            const std::vector<bool>& modified) = 0;
    virtual void doRemove(const Record& r) = 0;
    // Where a just-posted row at `index` belongs in the result (MemTable keeps its order).
    virtual size_t placeAfterPost(const std::vector<Record>& rows, size_t index) const {
        (void)rows;
        return index;
    }

    [[noreturn]] void fail(const std::string& message) const;  // Usage error, name in front

  private:
    const Field& field(const QString& column) const;
    const jet::Value& current(const Field& f) const;  // NULL when there is no current row
    void store(const Field& f, jet::Value v);         // into the edit buffer, with checks
    void checkOpen() const;
    void checkEditing() const;
    void checkBrowseMode();
    void dataChanged();
    void scrolled();

    QString name_;
    DatasetState state_ = DatasetState::Inactive;
    std::vector<Field> fields_;
    std::vector<Record> rows_;
    int cur_ = -1;  // -1: no current row
    bool eof_ = true;
    bool bof_ = true;
    // Edit and insert mode: the working copy of the current row and what was written.
    jet::Row buffer_;
    std::vector<bool> modified_;
    int curBeforeInsert_ = -1;
    bool eofBeforeInsert_ = true, bofBeforeInsert_ = true;
};

}  // namespace zn
