// Running the query against the engine, and storing changed rows.
#include "store/dbdataset.h"

#include <algorithm>

#include "jet/error.h"
#include "store/convert.h"
#include "store/dbconnection.h"
#include "store/schema.h"

namespace zn {

namespace {

// Whether `v` can be the value of an integer column of type `t` (an index key of a value
// outside the type's range would wrap around and find the wrong rows).
bool fitsIntegerColumn(jet::ColType t, qint64 v) {
    qint64 min, max;
    return zn::integerRange(t, min, max) && v >= min && v <= max;
}

bool matches(const jet::Value& v, qint64 want) {
    if (auto* n = std::get_if<int64_t>(&v)) return *n == want;
    if (auto* d = std::get_if<double>(&v)) return *d == double(want);
    if (auto* b = std::get_if<bool>(&v)) return (*b ? -1 : 0) == want;
    return false;
}

// Ascending order of values: NULL first, then numbers, then text; -1, 0, 1.
int compareValues(const jet::Value& a, const jet::Value& b) {
    auto rank = [](const jet::Value& v) {
        if (jet::isNull(v)) return 0;
        if (std::holds_alternative<std::u16string>(v)) return 2;
        return 1;
    };
    auto number = [](const jet::Value& v) -> double {
        if (auto* n = std::get_if<int64_t>(&v)) return double(*n);
        if (auto* d = std::get_if<double>(&v)) return *d;
        if (auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
        if (auto* dt = std::get_if<jet::DateTime>(&v)) return dt->days;
        if (auto* c = std::get_if<jet::Currency>(&v)) return double(c->scaled) / 10000.0;
        return 0;
    };
    int ra = rank(a), rb = rank(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    if (ra == 0) return 0;
    if (ra == 2) {
        int c = QString::fromStdU16String(std::get<std::u16string>(a))
                    .compare(QString::fromStdU16String(std::get<std::u16string>(b)),
                             Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    // Integers compare exactly; other numbers through double.
    if (auto* x = std::get_if<int64_t>(&a))
        if (auto* y = std::get_if<int64_t>(&b)) return *x < *y ? -1 : *x > *y ? 1 : 0;
    double x = number(a), y = number(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace

DbDataset::DbDataset(const QString& name, DbConnection& conn) : Dataset(name), conn_(conn) {
    conn_.attach(this);
}

DbDataset::~DbDataset() {
    close();
    conn_.detach(this);
}

void DbDataset::checkClosed() const {
    if (isOpen()) fail("Cannot perform this operation on an open dataset");
}

void DbDataset::setSql(const QString& sql) {
    checkClosed();
    zn::SelectStatement s = zn::parseSelect(sql);
    QHash<QString, std::optional<qint64>> params;
    if (!s.parameter.isEmpty()) {
        const QString key = s.parameter.toLower();
        params.insert(key, params_.value(key));
    }
    sql_ = sql;
    stmt_ = s;
    params_ = params;
}

void DbDataset::setTableName(const QString& table) {
    checkClosed();
    sql_.clear();
    stmt_ = zn::SelectStatement{table, {}, {}, QStringLiteral("id")};
    params_.clear();
}

void DbDataset::setParam(const QString& name, qint64 value) {
    const QString key = name.toLower();
    if (!params_.contains(key)) fail("Parameter '" + name.toStdString() + "' not found");
    params_[key] = value;
}

qint64 DbDataset::param(const QString& name) const {
    const QString key = name.toLower();
    if (!params_.contains(key)) fail("Parameter '" + name.toStdString() + "' not found");
    return params_.value(key).value_or(0);
}

size_t DbDataset::rowWidth() const {
    return table_ ? table_->def().columns.size() : 0;
}

void DbDataset::doOpen(std::vector<Field>& fields, std::vector<Record>& rows) {
    if (stmt_.table.isEmpty()) fail("No SQL statement or table name given");
    std::optional<qint64> key;
    if (!stmt_.parameter.isEmpty()) {
        key = params_.value(stmt_.parameter.toLower());
        if (!key) fail("No value given for one or more required parameters.");
    }

    conn_.open();  // a dataset opens its connection, as the connection's owner would
    // One state of the file, whatever other programs commit meanwhile (a database opened for
    // reading); rows cached before another program changed the file are not used.
    jet::Database::ReadScope scope(conn_.database());
    if (scope.changed()) conn_.dropRowCache();
    jet::Table& t = conn_.database().table(stmt_.table.toStdString());
    const jet::TableDef& def = t.def();

    // The presented columns.
    const QString tableName = QString::fromStdString(t.name());
    QStringList names = schema::requiredColumns(tableName);
    if (names.isEmpty())
        for (size_t i : def.displayOrder()) names << QString::fromStdString(def.columns[i].name);
    for (const QString& n : names) {
        int idx = t.columnIndex(n.toStdString());
        if (idx < 0) fail("Field '" + n.toStdString() + "' not found");
        const jet::Column& c = def.columns[size_t(idx)];
        Field f;
        f.name = n;
        f.label = schema::displayLabel(tableName, n);
        f.type = c.type;
        f.maxChars = c.type == jet::ColType::Text ? int(c.maxChars()) : 0;
        f.autoNumber = c.autoNumber();
        f.rowIndex = idx;
        fields.push_back(f);
    }
    auto columnOf = [&](const QString& n) {
        int idx = t.columnIndex(n.toStdString());
        if (idx < 0) fail("Field '" + n.toStdString() + "' not found");
        return idx;
    };
    const int orderIdx = columnOf(stmt_.orderColumn);
    const int whereIdx = stmt_.whereColumn.isEmpty() ? -1 : columnOf(stmt_.whereColumn);

    // The rows, with their ids for a stable order.
    struct Found {
        jet::RowId id;
        std::shared_ptr<const jet::Row> row;
    };
    std::vector<Found> found;
    usedIndex_ = false;
    if (whereIdx >= 0) {
        const jet::Column& wc = def.columns[size_t(whereIdx)];
        const jet::RealIndex* ix = useIndexes_ ? t.indexOn(wc.name) : nullptr;
        if (ix && ix->columns.size() == 1 && fitsIntegerColumn(wc.type, *key)) {
            usedIndex_ = true;
            for (jet::RowId id : t.findByIndex(*ix, {jet::Value(int64_t(*key))}))
                found.push_back({id, conn_.readRow(t, id)});
        } else if (qint64 min, max;
                   ix && ix->columns.size() == 1 && zn::integerRange(wc.type, min, max)) {
            usedIndex_ = true;  // no row can hold a value outside the column's type
        }
    }
    if (!usedIndex_) {
        for (auto s = t.scan(); s.next();) {
            if (whereIdx >= 0 && !matches(s.row()[size_t(whereIdx)], *key)) continue;
            found.push_back({s.id(), conn_.keepRow(t, s.id(), s.row())});
        }
    }
    std::stable_sort(found.begin(), found.end(), [&](const Found& a, const Found& b) {
        int c = compareValues((*a.row)[size_t(orderIdx)], (*b.row)[size_t(orderIdx)]);
        return c != 0 ? c < 0 : a.id < b.id;
    });
    rows.reserve(found.size());
    for (auto& f : found) rows.push_back(Record{std::move(f.row), f.id});
    table_ = &t;
}

void DbDataset::doClose() {
    table_ = nullptr;
}

Dataset::Record DbDataset::doInsert(jet::Row row, const std::vector<bool>& modified) {
    // Columns nobody wrote are left at the database's default (NULL without one); the
    // auto-number is filled in.
    jet::RowId id = conn_.insertRow(*table_, row, modified);
    return Record{std::make_shared<const jet::Row>(std::move(row)), id};
}

Dataset::Record DbDataset::doUpdate(const Record& old, const jet::Row& row,
                                    const std::vector<bool>& modified) {
    // Start from the row as stored, so that columns nobody wrote keep their values.
    jet::Row stored = *conn_.readRow(*table_, *old.rowId);
    for (size_t i = 0; i < modified.size() && i < stored.size(); ++i)
        if (modified[i]) stored[i] = row[i];
    conn_.updateRow(*table_, *old.rowId, stored);
    return Record{std::make_shared<const jet::Row>(std::move(stored)), old.rowId};
}

void DbDataset::doRemove(const Record& r) {
    if (!r.rowId) fail("The row has not been stored");
    conn_.removeRow(*table_, *r.rowId);
}

}  // namespace zn
