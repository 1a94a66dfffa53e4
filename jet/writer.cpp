// Row writes: insert, update and delete with long values, index maintenance and the table
// definition's counters; and the transaction entry points.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "jet/database.h"
#include "jet/datapage.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/indexkey.h"
#include "jet/indexpage.h"
#include "jet/indexwriter.h"
#include "jet/longvalue.h"
#include "jet/pagewriter.h"
#include "jet/relations.h"
#include "jet/rowstore.h"
#include "jet/text.h"
#include "jet/textkey.h"
#include "jet/usagemap.h"

namespace jet {

// ---------------------------------------------------------------------------------------------
// Transactions

void Database::begin() {
    if (!readOnlyReason_.empty()) throwError(ErrorKind::ReadOnly, readOnlyReason_);
    if (!inTransaction() && !unchangedByOthers())
        throwError(ErrorKind::Changed,
                   "The database \"" + path_ +
                       "\" was replaced or changed by another program since this program last "
                       "read or wrote it; nothing was written: open it again");
    pager_->begin();
}

void Database::commit() {
    try {
        pager_->commit();
    } catch (...) {
        // A failed commit puts the pages back, but the file's time moved on.
        noteOwnState();
        invalidate();
        throw;
    }
    noteOwnState();
    if (!commitObserver_) return;
    CommitImages images = pager_->takeLastCommit();
    if (!images.after.empty() || images.oldPageCount != images.newPageCount)
        commitObserver_(images);
}

void Database::setCommitObserver(std::function<void(const CommitImages&)> observer) {
    commitObserver_ = std::move(observer);
    pager_->setKeepCommitImages(bool(commitObserver_));
}

void Database::restorePages(const PageImages& images, uint32_t pageCount) {
    if (inTransaction())
        throwError(ErrorKind::Usage, "Pages cannot be restored inside a transaction");
    begin();
    try {
        pager_->restoreImages(images, pageCount);
        pager_->commit();
    } catch (...) {
        pager_->rollback();
        pager_->takeLastCommit();
        try {
            pager_->reload();
            noteOwnState();
        } catch (...) {
        }
        invalidate();
        throw;
    }
    pager_->takeLastCommit();
    noteOwnState();
    // Everything read before may be stale now, as after another program's commit.
    pager_->reload();
    readHeader();
    invalidate();
    followTables();
}

void Database::rollback() {
    pager_->rollback();
    invalidate();
}

namespace {

std::string shortText(const std::u16string& s) {
    std::u16string t = s.size() > 40 ? s.substr(0, 40) + u"…" : s;
    // Invisible characters (and U+0000, which would end the message) by their code.
    std::u16string shown;
    for (char16_t c : t) {
        if (c < 0x20 || c == 0xFEFF) {
            char code[12];
            std::snprintf(code, sizeof code, "<U+%04X>", unsigned(c));
            shown += fromUtf8(code);
        } else {
            shown.push_back(c);
        }
    }
    return "\"" + toUtf8(shown) + "\"";
}

std::string valueText(const Value& v) {
    struct V {
        std::string operator()(std::monostate) const { return "NULL"; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%g", d);
            return buf;
        }
        std::string operator()(const std::u16string& s) const { return shortText(s); }
        std::string operator()(const Blob& b) const { return std::to_string(b.size()) + " bytes"; }
        std::string operator()(const Currency& c) const { return std::to_string(c.scaled / 10000); }
        std::string operator()(const DateTime& d) const { return operator()(d.days); }
        std::string operator()(const Guid&) const { return "GUID"; }
        std::string operator()(const Decimal&) const { return "decimal"; }
    };
    return std::visit(V{}, v);
}

[[noreturn]] void badValue(const std::string& table, const Column& c, const Value& v,
                           const std::string& why) {
    throwError(ErrorKind::Constraint, "The value " + valueText(v) +
                                          " cannot be stored in column \"" + c.name +
                                          "\" of table \"" + table + "\": " + why);
}

// A text starting with U+FEFF takes the compressed form (see jet/text.h), which a fixed-length
// column cannot (its bytes are exactly two a character) and which holds only some characters.
void checkStorableText(const std::string& table, const Column& c, const Value& v) {
    const auto& s = std::get<std::u16string>(v);
    if (s.empty() || s[0] != 0xFEFF) return;
    if (c.fixed())
        badValue(table, c, v,
                 "a fixed-length text cannot start with U+FEFF (a byte-order mark); remove it");
    char16_t bad = 0;
    if (!storableText(s, &bad)) {
        char code[8];
        std::snprintf(code, sizeof code, "%04X", unsigned(bad));
        badValue(table, c, v,
                 std::string("a text starting with U+FEFF (a byte-order mark) cannot also hold "
                             "U+") +
                     code + "; remove the mark");
    }
}

// Checks one value against its column's type and size.
void checkValue(const std::string& table, const Column& c, const Value& v) {
    if (isNull(v)) return;
    auto wrongType = [&] {
        badValue(table, c, v, std::string("the column holds ") + typeName(c.type));
    };
    auto intRange = [&](int64_t lo, int64_t hi) {
        if (!std::holds_alternative<int64_t>(v)) wrongType();
        int64_t x = std::get<int64_t>(v);
        if (x < lo || x > hi)
            badValue(table, c, v,
                     "the allowed range is " + std::to_string(lo) + " to " + std::to_string(hi));
    };
    switch (c.type) {
        case ColType::Boolean:
            if (!std::holds_alternative<bool>(v)) wrongType();
            return;
        case ColType::Byte:
            intRange(0, 255);
            return;
        case ColType::Int:
            intRange(-32768, 32767);
            return;
        case ColType::Long:
            intRange(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
            return;
        case ColType::Money:
            if (!std::holds_alternative<Currency>(v)) wrongType();
            return;
        case ColType::Single: {
            if (!std::holds_alternative<double>(v)) wrongType();
            double d = std::get<double>(v);
            if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max()))
                badValue(table, c, v, "it is outside the range of a single-precision number");
            return;
        }
        case ColType::Double:
            if (!std::holds_alternative<double>(v)) wrongType();
            return;
        case ColType::DateTime: {
            if (!std::holds_alternative<DateTime>(v)) wrongType();
            // Access' range, 100-01-01 to 9999-12-31 (a negative day's fraction is its time of
            // day): the other readers, and our dump, cannot show dates beyond it, nor NaN.
            double d = std::get<DateTime>(v).days;
            if (!(d > -657435.0 && d < 2958466.0))
                badValue(table, c, v, "the allowed range is 100-01-01 to 9999-12-31");
            return;
        }
        case ColType::Text: {
            if (!std::holds_alternative<std::u16string>(v)) wrongType();
            checkStorableText(table, c, v);
            size_t n = std::get<std::u16string>(v).size();
            size_t max = std::min<size_t>(c.maxChars(), 255);
            if (n > max)
                badValue(table, c, v,
                         "it has " + std::to_string(n) + " characters; the column holds at most " +
                             std::to_string(max));
            return;
        }
        case ColType::Memo: {
            if (!std::holds_alternative<std::u16string>(v)) wrongType();
            checkStorableText(table, c, v);
            const auto& s = std::get<std::u16string>(v);
            // Mixed compressed text (one starting with U+FEFF) can take more than 2 bytes a
            // character.
            size_t bytes = s.size() * 2;
            if (!s.empty() && s[0] == 0xFEFF && bytes > 0xFFFFFF / 2)
                bytes = encodeText(s, true).size();
            if (bytes > 0xFFFFFF) badValue(table, c, v, "it is longer than a memo can be");
            return;
        }
        case ColType::Binary:
            if (!std::holds_alternative<Blob>(v)) wrongType();
            if (std::get<Blob>(v).size() > c.length)
                badValue(table, c, v,
                         "the column holds at most " + std::to_string(c.length) + " bytes");
            return;
        case ColType::Ole:
        case ColType::Unknown0D:
        case ColType::Unknown11:
            if (!std::holds_alternative<Blob>(v)) wrongType();
            if (std::get<Blob>(v).size() > 0xFFFFFF) badValue(table, c, v, "it is too large");
            return;
        case ColType::Guid:
            if (!std::holds_alternative<Guid>(v)) wrongType();
            return;
        case ColType::Numeric: {
            if (!std::holds_alternative<Decimal>(v)) wrongType();
            const Decimal& d = std::get<Decimal>(v);
            if (d.scale != c.scale) badValue(table, c, v, "its scale differs from the column's");
            unsigned __int128 limit = 1;
            for (int i = 0; i < c.precision; ++i) limit *= 10;
            if (d.magnitude >= limit)
                badValue(table, c, v,
                         "it has more than " + std::to_string(c.precision) + " digits");
            return;
        }
    }
}

// What a write needs to know about a table's indexes before it changes anything.
void requireWritableIndexes(Database& db, Table& table, const TableDef& t) {
    for (auto& ix : t.realIndexes) {
        for (auto& ic : ix.columns) {
            const Column* c = t.columnByNumber(ic.column);
            std::vector<uint8_t> probe;
            Value sample;
            switch (c->type) {
                case ColType::Text:
                case ColType::Memo:
                    sample = std::u16string(u"a");
                    break;
                case ColType::Boolean:
                    sample = true;
                    break;
                case ColType::Byte:
                case ColType::Int:
                case ColType::Long:
                    sample = int64_t(0);
                    break;
                case ColType::Money:
                    sample = Currency{};
                    break;
                case ColType::Single:
                case ColType::Double:
                    sample = 0.0;
                    break;
                case ColType::DateTime:
                    sample = DateTime{};
                    break;
                default:
                    sample = Blob{};  // no key encoding is known: the probe fails
            }
            KeyStatus st = appendColumnKey(*c, sample, ic.ascending, db.generalSortOrder(), probe);
            bool textColumnSort = (c->type == ColType::Text || c->type == ColType::Memo) &&
                                  !(c->sortLcid == fmt::kSortGeneral && c->sortVersion == 0);
            const std::string what = "The table \"" + table.name() +
                                     "\" cannot be changed: its index \"" + t.indexName(ix) +
                                     "\" on column \"" + c->name + "\" ";
            // Only a sort order is cured by compacting (to General); a key type is not.
            if (st == KeyStatus::UnsupportedSortOrder || textColumnSort)
                throwError(ErrorKind::Unsupported,
                           what +
                               "uses a sort order other than General, whose text keys this "
                               "program cannot compute; compact the database to the General "
                               "sort order first");
            if (st != KeyStatus::Ok)
                throwError(ErrorKind::Unsupported,
                           what + "is of type " + typeName(c->type) +
                               ", and this program cannot compute index keys for " +
                               typeName(c->type) +
                               " columns; the table can be read but not changed here");
        }
    }
}

}  // namespace

void Table::requireWritableIndexes(const std::shared_ptr<TableDef>& t) {
    if (writableIndexes_.lock() == t) return;
    jet::requireWritableIndexes(db_, *this, *t);
    writableIndexes_ = t;
}

namespace {

void requireRowShape(const std::string& table, const TableDef& t, const Row& row) {
    if (row.size() != t.columns.size())
        throwError(ErrorKind::Usage, "A row of table \"" + table + "\" needs " +
                                         std::to_string(t.columns.size()) + " values");
}

std::vector<uint8_t> encodeChecked(const std::string& table, const TableDef& t, const Row& row,
                                   const std::vector<std::vector<uint8_t>>& var) {
    std::vector<uint8_t> bytes = encodeRow(t, row, var);
    if (bytes.size() > fmt::kMaxRowSize)
        throwError(ErrorKind::Constraint, "The row is too large for table \"" + table + "\" (" +
                                              std::to_string(bytes.size()) + " bytes; at most " +
                                              std::to_string(fmt::kMaxRowSize) + ")");
    return bytes;
}

// The Required and AllowZeroLength properties of the table's columns.
void checkColumnRules(Table& table, const TableDef& t, const Row& row) {
    const Table::ColumnRules& rules = table.columnRules();
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const Column& c = t.columns[i];
        if (rules.required[i] && isNull(row[i]) && c.type != ColType::Boolean)
            throwError(ErrorKind::Constraint, "Column \"" + c.name + "\" of table \"" +
                                                  table.name() +
                                                  "\" cannot be empty: a value is required");
        auto* s = std::get_if<std::u16string>(&row[i]);
        if (!rules.zeroLengthAllowed[i] && s && s->empty())
            throwError(ErrorKind::Constraint, "Column \"" + c.name + "\" of table \"" +
                                                  table.name() + "\" cannot hold an empty text");
    }
}

struct Keys {
    std::vector<std::vector<uint8_t>> key;  // per real index
    std::vector<bool> skip;                 // ignore-nulls index and all key columns NULL
};

Keys computeKeys(Database& db, Table& table, const TableDef& t, const Row& row) {
    Keys k;
    k.key.reserve(t.realIndexes.size());
    for (auto& ix : t.realIndexes) {
        std::vector<uint8_t> key;
        key.reserve(32);  // most keys fit: no regrowth while the columns are appended
        KeyStatus st = indexKey(t, ix, row, db.generalSortOrder(), key);
        if (st != KeyStatus::Ok) {
            std::string col;
            for (auto& ic : ix.columns)
                if (const Column* c = t.columnByNumber(ic.column))
                    col += (col.empty() ? "" : ", ") + c->name;
            throwError(ErrorKind::Unsupported, "The row cannot be written to table \"" +
                                                   table.name() + "\": the index on " + col + ": " +
                                                   keyStatusText(st));
        }
        k.key.push_back(std::move(key));
        k.skip.push_back(ix.ignoreNulls() && allKeyColumnsNull(t, ix, row));
    }
    return k;
}

// Required and unique rules. `self` is the row being updated (its own entries do not count).
void checkIndexRules(Database& db, Table& table, const TableDef& t, const Row& row,
                     const Keys& keys, const Keys* oldKeys, std::optional<RowId> self) {
    for (size_t i = 0; i < t.realIndexes.size(); ++i) {
        const RealIndex& ix = t.realIndexes[i];
        bool primary = false;
        for (auto& li : t.logicalIndexes)
            if (li.realIndex == ix.slot && li.primaryKey()) primary = true;
        if (primary || ix.required()) {
            for (auto& ic : ix.columns) {
                for (size_t c = 0; c < t.columns.size(); ++c) {
                    if (t.columns[c].number == ic.column && isNull(row[c]) &&
                        t.columns[c].type != ColType::Boolean)
                        throwError(ErrorKind::Constraint,
                                   "Column \"" + t.columns[c].name + "\" of table \"" +
                                       table.name() + "\" cannot be empty: the index \"" +
                                       t.indexName(ix) + "\" requires a value");
                }
            }
        }
        if (!ix.unique() || keys.skip[i] || allKeyColumnsNull(t, ix, row)) continue;
        if (oldKeys && oldKeys->key[i] == keys.key[i]) continue;
        for (RowId other : indexFind(db.pager(), ix, keys.key[i])) {
            if (self && other == *self) continue;
            std::string vals;
            for (auto& ic : ix.columns)
                for (size_t c = 0; c < t.columns.size(); ++c)
                    if (t.columns[c].number == ic.column)
                        vals += (vals.empty() ? "" : ", ") + t.columns[c].name + " = " +
                                valueText(row[c]);
            throwError(ErrorKind::Constraint, "The row cannot be written to table \"" +
                                                  table.name() + "\": the unique index \"" +
                                                  t.indexName(ix) + "\" already has a row with " +
                                                  vals);
        }
    }
}

// Writes the counters to the first TDEF page, and to `t` (the table's cached definition, which
// so stays equal to the page without being read again).
void writeCounters(Ctx& x, TableDef& t, uint32_t rowCount, int32_t autoNumber,
                   const std::vector<int64_t>& uniqueDelta) {
    PageBuf& b = x.pager.modify(t.page);
    auto put = [&](size_t off, uint32_t v) {
        putU32(b.data() + off, v);
        if (off + 4 <= t.buf.size()) putU32(t.buf.data() + off, v);
    };
    put(fmt::kTdefRowCount, rowCount);
    put(fmt::kTdefAutoNumber, uint32_t(autoNumber));
    t.rowCount = rowCount;
    t.lastAutoNumber = autoNumber;
    for (size_t i = 0; i < t.realIndexes.size(); ++i) {
        if (!uniqueDelta[i]) continue;
        size_t off = t.realIndexes[i].countOffset + 4;
        if (off + 4 > fmt::kPageSize) continue;  // beyond the first page: not kept
        int64_t v = int64_t(t.realIndexes[i].uniqueCount) + uniqueDelta[i];
        t.realIndexes[i].uniqueCount = uint32_t(std::max<int64_t>(v, 0));
        put(off, t.realIndexes[i].uniqueCount);
    }
}

std::vector<uint8_t> pointerBytes(RowId to) {
    std::vector<uint8_t> p(4);
    putU32(p.data(), to.raw());
    return p;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Insert

RowId Table::insert(Row& row) {
    return runWrite(db_, [&]() -> RowId {
        const std::shared_ptr<TableDef> held = sharedDef();
        TableDef& t = *held;
        requireRowShape(name_, t, row);
        requireWritableIndexes(held);
        Ctx x(db_.pager());
        int32_t autoNumber = t.lastAutoNumber;
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            if (c.autoNumber() && c.type == ColType::Long) {
                if (isNull(row[i])) {
                    autoNumber = autoNumber == std::numeric_limits<int32_t>::max()
                                     ? std::numeric_limits<int32_t>::min()
                                     : autoNumber + 1;
                    row[i] = int64_t(autoNumber);
                } else if (std::holds_alternative<int64_t>(row[i])) {
                    autoNumber = std::max<int64_t>(autoNumber, std::get<int64_t>(row[i]));
                }
            }
            if (c.autoGuid() && c.type == ColType::Guid && isNull(row[i])) {
                std::random_device rd;
                Guid g;
                for (auto& b : g.bytes) b = uint8_t(rd());
                g.bytes[7] = uint8_t((g.bytes[7] & 0x0F) | 0x40);
                g.bytes[8] = uint8_t((g.bytes[8] & 0x3F) | 0x80);
                row[i] = g;
            }
            checkValue(name_, c, row[i]);
        }
        checkColumnRules(*this, t, row);
        Keys keys = computeKeys(db_, *this, t, row);
        checkIndexRules(db_, *this, t, row, keys, nullptr, std::nullopt);

        std::vector<bool> reused;
        auto var = buildFields(x, t, row, nullptr, Bytes(), reused);
        std::vector<uint8_t> bytes = encodeChecked(name_, t, row, var);
        RowId id = placeRow(x, t, t.ownedMap, t.freeMap, false, std::move(bytes), 0);

        std::vector<int64_t> delta(t.realIndexes.size(), 0);
        for (size_t i = 0; i < t.realIndexes.size(); ++i) {
            if (keys.skip[i]) continue;
            const RealIndex& ix = t.realIndexes[i];
            delta[i] = IndexWriter(x.pager, x.alloc, x.maps, t.page, ix).insert(keys.key[i], id);
        }
        writeCounters(x, t, t.rowCount + 1, autoNumber, delta);
        relationsAfterInsert(*this, row);
        return id;
    });
}

// ---------------------------------------------------------------------------------------------
// Update

void Table::update(RowId id, const Row& newRow) {
    runWrite(db_, [&]() -> int {
        const std::shared_ptr<TableDef> held = sharedDef();
        TableDef& t = *held;
        requireRowShape(name_, t, newRow);
        requireWritableIndexes(held);
        Ctx x(db_.pager());
        auto where = resolve(id);
        if (!where)
            throwError(ErrorKind::NotFound,
                       "The row to change in table \"" + name_ + "\" has been deleted");
        Page dataPage = x.pager.get(where->page);
        Bytes oldBytes = DataPage(dataPage).row(where->row);
        std::vector<uint8_t> oldCopy = oldBytes.copy();
        Bytes old(oldCopy.data(), oldCopy.size(), where->page);
        Row oldRow = decodeRow(t, old, &x.pager);

        Row row = newRow;
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            if ((c.autoNumber() || c.autoGuid()) && isNull(row[i])) row[i] = oldRow[i];
            if ((c.autoNumber() || c.autoGuid()) && row[i] != oldRow[i])
                throwError(ErrorKind::Constraint, "Column \"" + c.name + "\" of table \"" + name_ +
                                                      "\" is an auto-number and cannot be changed");
            checkValue(name_, c, row[i]);
        }
        checkColumnRules(*this, t, row);
        Keys oldKeys = computeKeys(db_, *this, t, oldRow);
        Keys keys = computeKeys(db_, *this, t, row);
        checkIndexRules(db_, *this, t, row, keys, &oldKeys, id);

        std::vector<bool> reused;
        auto var = buildFields(x, t, row, &oldRow, old, reused);
        std::vector<uint8_t> bytes = encodeChecked(name_, t, row, var);

        // Free the long values that were replaced (their fields are in the old row bytes).
        RowLayout oldLayout = parseRowLayout(t, old);
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            if (!isLongValue(c.type) || reused[i]) continue;
            Bytes f;
            if (columnBytes(t, oldLayout, old, c, f)) freeLongValue(x, t, c, f);
        }

        const bool moved = *where != id;
        size_t freeAfter = 0;
        if (!moved && replaceRow(x.pager, id, bytes, freeAfter)) {
            if (t.freeMap) {
                if (freeAfter >= kFreeMapThreshold)
                    x.maps.add(t.freeMap, id.page);
                else
                    x.maps.remove(t.freeMap, id.page);
            }
        } else if (!moved) {
            SlotPage sp = SlotPage::load(x.pager, id.page);
            sp.slots[id.row].data = bytes;
            if (sp.used() <= fmt::kPageSize) {
                sp.store(x.pager);
                if (t.freeMap) {
                    if (sp.freeSpace() >= kFreeMapThreshold)
                        x.maps.add(t.freeMap, id.page);
                    else
                        x.maps.remove(t.freeMap, id.page);
                }
            } else {
                // The grown row moves to a page with room; its slot keeps a pointer to it.
                RowId target = placeRow(x, t, t.ownedMap, t.freeMap, false, std::move(bytes),
                                        fmt::kRowDeleted);
                SlotPage hp = SlotPage::load(x.pager, id.page);
                hp.slots[id.row] = SlotPage::Slot{fmt::kRowOverflow, pointerBytes(target)};
                hp.store(x.pager);
                if (t.freeMap && hp.freeSpace() >= kFreeMapThreshold)
                    x.maps.add(t.freeMap, id.page);
            }
        } else {
            SlotPage tp = SlotPage::load(x.pager, where->page);
            tp.slots[where->row].data = bytes;
            if (tp.used() <= fmt::kPageSize) {
                tp.store(x.pager);
                if (t.freeMap) {
                    if (tp.freeSpace() >= kFreeMapThreshold)
                        x.maps.add(t.freeMap, where->page);
                    else
                        x.maps.remove(t.freeMap, where->page);
                }
            } else {
                SlotPage hp = SlotPage::load(x.pager, id.page);
                hp.slots[id.row] = SlotPage::Slot{0, bytes};
                if (hp.used() <= fmt::kPageSize) {
                    // It fits back where it started.
                    hp.store(x.pager);
                    removeSlot(x, *where, 0, t.freeMap, false);
                } else {
                    removeSlot(x, *where, 0, t.freeMap, false);
                    RowId target = placeRow(x, t, t.ownedMap, t.freeMap, false, std::move(bytes),
                                            fmt::kRowDeleted);
                    SlotPage hp2 = SlotPage::load(x.pager, id.page);
                    hp2.slots[id.row] = SlotPage::Slot{fmt::kRowOverflow, pointerBytes(target)};
                    hp2.store(x.pager);
                }
            }
        }

        std::vector<int64_t> delta(t.realIndexes.size(), 0);
        for (size_t i = 0; i < t.realIndexes.size(); ++i) {
            if (oldKeys.key[i] == keys.key[i] && oldKeys.skip[i] == keys.skip[i]) continue;
            const RealIndex& ix = t.realIndexes[i];
            IndexWriter w(x.pager, x.alloc, x.maps, t.page, ix);
            if (!oldKeys.skip[i]) w.remove(oldKeys.key[i], id);
            if (!keys.skip[i]) delta[i] = w.insert(keys.key[i], id);
        }
        writeCounters(x, t, t.rowCount, t.lastAutoNumber, delta);
        relationsAfterUpdate(*this, oldRow, row);
        return 0;
    });
}

// ---------------------------------------------------------------------------------------------
// Delete

void Table::remove(RowId id) {
    runWrite(db_, [&]() -> int {
        const std::shared_ptr<TableDef> held = sharedDef();
        TableDef& t = *held;
        requireWritableIndexes(held);
        Ctx x(db_.pager());
        auto where = resolve(id);
        if (!where)
            throwError(ErrorKind::NotFound,
                       "The row to delete in table \"" + name_ + "\" has already been deleted");
        Page dataPage = x.pager.get(where->page);
        std::vector<uint8_t> oldCopy = DataPage(dataPage).row(where->row).copy();
        Bytes old(oldCopy.data(), oldCopy.size(), where->page);
        Row oldRow = decodeRow(t, old, &x.pager);
        Keys oldKeys = computeKeys(db_, *this, t, oldRow);

        std::vector<int64_t> delta(t.realIndexes.size(), 0);
        for (size_t i = 0; i < t.realIndexes.size(); ++i) {
            if (oldKeys.skip[i]) continue;
            const RealIndex& ix = t.realIndexes[i];
            IndexWriter(x.pager, x.alloc, x.maps, t.page, ix).remove(oldKeys.key[i], id);
        }
        RowLayout layout = parseRowLayout(t, old);
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            Bytes f;
            if (isLongValue(c.type) && columnBytes(t, layout, old, c, f)) freeLongValue(x, t, c, f);
        }
        if (*where != id) removeSlot(x, *where, 0, t.freeMap, false);
        removeSlot(x, id, 0, t.freeMap, false);
        writeCounters(x, t, t.rowCount ? t.rowCount - 1 : 0, t.lastAutoNumber, delta);
        relationsAfterRemove(*this, oldRow);
        return 0;
    });
}

}  // namespace jet
