// Reading MSysRelationships and keeping its enforced relationships on every row write.
#include "jet/relations.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "jet/error.h"
#include "jet/format.h"
#include "jet/indexkey.h"
#include "jet/indexpage.h"

namespace jet {

namespace {

// Jet allows at most this many columns in an index, and so in a relationship.
constexpr int64_t kMaxRelationColumns = 10;

std::string textOf(const Value& v) {
    auto* s = std::get_if<std::u16string>(&v);
    return s ? toUtf8(*s) : std::string();
}

std::optional<int64_t> intOf(const Value& v) {
    if (auto* i = std::get_if<int64_t>(&v)) return *i;
    return std::nullopt;
}

// Whether `v` is a value of column `c`'s type and range; a value that is not can equal none of
// the column's values.
bool fits(const Column& c, const Value& v) {
    auto intIn = [&](int64_t lo, int64_t hi) {
        auto* i = std::get_if<int64_t>(&v);
        return i && *i >= lo && *i <= hi;
    };
    switch (c.type) {
        case ColType::Boolean:
            return std::holds_alternative<bool>(v);
        case ColType::Byte:
            return intIn(0, 255);
        case ColType::Int:
            return intIn(-32768, 32767);
        case ColType::Long:
            return intIn(INT32_MIN, INT32_MAX);
        case ColType::Money:
            return std::holds_alternative<Currency>(v);
        case ColType::Single:
        case ColType::Double:
            return std::holds_alternative<double>(v);
        case ColType::DateTime:
            return std::holds_alternative<DateTime>(v);
        case ColType::Text:
        case ColType::Memo:
            return std::holds_alternative<std::u16string>(v);
        case ColType::Guid:
            return std::holds_alternative<Guid>(v);
        case ColType::Numeric:
            return std::holds_alternative<Decimal>(v);
        case ColType::Binary:
        case ColType::Ole:
        case ColType::Unknown0D:
        case ColType::Unknown11:
            return std::holds_alternative<Blob>(v);
    }
    return false;
}

// The bytes a value sorts by in an ascending index on `c` (text compares without regard to
// case, as Jet's indexes and so its relationships compare it); nullopt when the engine cannot
// encode it, and the values are then compared as they are.
std::optional<std::vector<uint8_t>> sortKey(const Column& c, const Value& v, bool generalSort) {
    if (isNull(v) || !fits(c, v)) return std::nullopt;
    std::vector<uint8_t> out;
    if (appendColumnKey(c, v, true, generalSort, out) != KeyStatus::Ok) return std::nullopt;
    return out;
}

// Whether two values of column `c` are the same key. NULL equals only NULL here (for "did the
// key change"); matching rows never matches a NULL (see findRows).
bool sameKeyValue(const Column& c, const Value& a, const Value& b, bool generalSort) {
    if (isNull(a) || isNull(b)) return isNull(a) && isNull(b);
    auto ka = sortKey(c, a, generalSort), kb = sortKey(c, b, generalSort);
    if (ka && kb) return *ka == *kb;
    return a == b;
}

std::vector<Value> keyOf(const RelationSide& side, const Row& row) {
    std::vector<Value> key;
    key.reserve(side.columns.size());
    for (size_t c : side.columns) key.push_back(c < row.size() ? row[c] : Value{});
    return key;
}

bool anyNull(const std::vector<Value>& key) {
    return std::any_of(key.begin(), key.end(), [](const Value& v) { return isNull(v); });
}

bool keyChanged(Table& t, const RelationSide& side, const Row& oldRow, const Row& newRow) {
    const TableDef& def = t.def();
    const bool gs = t.database().generalSortOrder();
    for (size_t c : side.columns)
        if (!sameKeyValue(def.columns[c], oldRow[c], newRow[c], gs)) return true;
    return false;
}

std::string valueText(const Value& v) {
    struct V {
        std::string operator()(std::monostate) const { return "NULL"; }
        std::string operator()(bool b) const { return b ? "Yes" : "No"; }
        std::string operator()(int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%g", d);
            return buf;
        }
        std::string operator()(const std::u16string& s) const {
            std::u16string t = s.size() > 40 ? s.substr(0, 40) + u"…" : s;
            return "\"" + toUtf8(t) + "\"";
        }
        std::string operator()(const Blob& b) const { return std::to_string(b.size()) + " bytes"; }
        std::string operator()(const Currency& c) const {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.4f", double(c.scaled) / 10000.0);
            return buf;
        }
        std::string operator()(const DateTime& d) const {
            CivilTime t = toCivil(d);
            char buf[40];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                          t.hour, t.minute, t.second);
            return buf;
        }
        std::string operator()(const Guid&) const { return "a GUID"; }
        std::string operator()(const Decimal&) const { return "a decimal number"; }
    };
    return std::visit(V{}, v);
}

// "id = 7" or "a = 1, b = \"x\"": the side's columns with `key`.
std::string keyText(Table& t, const RelationSide& side, const std::vector<Value>& key) {
    const TableDef& def = t.def();
    std::string out;
    for (size_t j = 0; j < side.columns.size() && j < key.size(); ++j)
        out += (j ? ", " : "") + def.columns[side.columns[j]].name + " = " + valueText(key[j]);
    return out;
}

std::string columnList(Table& t, const RelationSide& side) {
    const TableDef& def = t.def();
    std::string out;
    for (size_t j = 0; j < side.columns.size(); ++j)
        out += (j ? ", " : "") + def.columns[side.columns[j]].name;
    return out;
}

std::string rowsText(size_t n) {
    return n == 1 ? "1 row that refers" : std::to_string(n) + " rows that refer";
}

// The rows of the side's table whose relationship columns hold `key` (none when a value of it
// is NULL), through the side's index when it has one, else by a scan.
std::vector<RowId> findRows(const RelationSide& side, const std::vector<Value>& key) {
    Table& t = *side.table;
    if (anyNull(key)) return {};
    const bool gs = t.database().generalSortOrder();
    const TableDef& def = t.def();
    for (size_t j = 0; j < side.columns.size(); ++j)
        if (!fits(def.columns[side.columns[j]], key[j])) return {};
    if (side.indexSlot >= 0 && size_t(side.indexSlot) < def.realIndexes.size()) {
        const RealIndex& ix = def.realIndexes[size_t(side.indexSlot)];
        std::vector<uint8_t> bytes;
        bool encoded = ix.columns.size() == side.indexOrder.size();
        for (size_t k = 0; encoded && k < ix.columns.size(); ++k) {
            const Column* c = def.columnByNumber(ix.columns[k].column);
            encoded = c && appendColumnKey(*c, key[side.indexOrder[k]], ix.columns[k].ascending, gs,
                                           bytes) == KeyStatus::Ok;
        }
        if (encoded) return indexFind(t.database().pager(), ix, bytes);
    }
    std::vector<std::optional<std::vector<uint8_t>>> want;
    bool longValues = false;
    for (size_t j = 0; j < side.columns.size(); ++j) {
        const Column& c = def.columns[side.columns[j]];
        want.push_back(sortKey(c, key[j], gs));
        longValues = longValues || isLongValue(c.type);
    }
    const std::vector<size_t> cols = side.columns;
    std::vector<RowId> out;
    for (auto s = t.scan(longValues); s.next();) {
        const Row& r = s.row();
        const TableDef& d = t.def();
        bool match = true;
        for (size_t j = 0; match && j < cols.size(); ++j) {
            const Value& have = r[cols[j]];
            if (isNull(have)) {
                match = false;
            } else if (want[j]) {
                auto k = sortKey(d.columns[cols[j]], have, gs);
                match = k ? *k == *want[j] : have == key[j];
            } else {
                match = have == key[j];
            }
        }
        if (match) out.push_back(s.id());
    }
    return out;
}

// The row at `id` when it is still live and still holds `key` in the side's columns (an earlier
// step of the same cascade may have changed or deleted it).
std::optional<Row> stillReferring(const RelationSide& side, RowId id,
                                  const std::vector<Value>& key) {
    Table& t = *side.table;
    if (!t.resolve(id)) return std::nullopt;
    Row row = t.read(id);
    const TableDef& def = t.def();
    const bool gs = t.database().generalSortOrder();
    for (size_t j = 0; j < side.columns.size(); ++j)
        if (isNull(row[side.columns[j]]) ||
            !sameKeyValue(def.columns[side.columns[j]], row[side.columns[j]], key[j], gs))
            return std::nullopt;
    return row;
}

// How deep the cascade being run is (one database is used from one thread).
thread_local int cascadeDepth = 0;

// Runs the steps of one cascade one level deeper. A refusal inside it is reported, at the top
// level, with the change that started the cascade.
template <class F>
void runCascade(const RelationLink& l, const std::string& what, F steps) {
    if (cascadeDepth >= kMaxCascadeDepth)
        throwError(ErrorKind::Constraint,
                   "the change cascades through more than " + std::to_string(kMaxCascadeDepth) +
                       " levels of relationships (the last through \"" + l.rel.name +
                       "\" to table \"" + l.child.table->name() +
                       "\"); rows that refer to each other this deeply are not changed in one "
                       "step: change or delete the rows at the end of the chain first");
    struct Level {
        Level() { ++cascadeDepth; }
        ~Level() { --cascadeDepth; }
    };
    try {
        Level level;
        steps();
    } catch (const Error& e) {
        if (cascadeDepth > 0) throw;
        Error wrapped(e.kind(),
                      what + " cascades through the relationship \"" + l.rel.name +
                          "\" to table \"" + l.child.table->name() +
                          "\", and that change was refused: " + e.what(),
                      e.page());
        wrapped.setWhere(e.where());
        throw wrapped;
    }
}

void requireParent(Table& t, const RelationLink& l, const Row& row) {
    std::vector<Value> key = keyOf(l.child, row);
    if (anyNull(key)) return;  // a key with an empty column refers to nothing and is not checked
    if (!findRows(l.parent, key).empty()) return;
    Table& parent = *l.parent.table;
    const std::string cols = columnList(t, l.child);
    const bool one = l.child.columns.size() == 1;
    throwError(ErrorKind::Constraint,
               "The row cannot be written to table \"" + t.name() + "\": the relationship \"" +
                   l.rel.name + "\" requires a row in table \"" + parent.name() + "\" with " +
                   keyText(parent, l.parent, key) + (one ? " (the value of " : " (the values of ") +
                   cols + "), and there is none. Add that row to \"" + parent.name() +
                   "\" first, or leave " + (one ? "" : "one of ") + cols + " empty");
}

// The relationships of `t`, or nullptr when it takes part in none. Keeps the set alive in
// `keep` while the caller writes.
const RelationSet::PerTable* linksOf(Table& t, std::shared_ptr<const RelationSet>& keep) {
    Database& db = t.database();
    if (t.tdefPage() == fmt::kCatalogPage || equalsIgnoreCase(t.name(), "MSysRelationships")) {
        db.dropRelations();  // tables or relationships may have been added, renamed or dropped
        return nullptr;
    }
    const std::shared_ptr<const RelationSet>& set = db.relations();
    auto it = set->byTable.find(t.tdefPage());
    if (it == set->byTable.end()) return nullptr;
    keep = set;
    if (!it->second.problems.empty()) throwError(ErrorKind::Corrupt, it->second.problems.front());
    return &it->second;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading

std::vector<Relationship> readRelationships(Database& db) {
    if (!db.hasTable("MSysRelationships")) return {};
    Table& t = db.table("MSysRelationships");
    const char* names[] = {"szRelationship",
                           "grbit",
                           "ccolumn",
                           "icolumn",
                           "szObject",
                           "szColumn",
                           "szReferencedObject",
                           "szReferencedColumn"};
    size_t idx[8];
    for (int k = 0; k < 8; ++k) {
        int i = t.columnIndex(names[k]);
        if (i < 0)
            throwCorrupt(
                t.tdefPage(),
                std::string("the relationships table (MSysRelationships) has no column \"") +
                    names[k] + "\"");
        idx[k] = size_t(i);
    }
    struct Part {
        int64_t position;
        std::string column, referencedColumn;
    };
    struct Group {
        Relationship rel;
        int64_t count = 0;
        std::vector<Part> parts;
    };
    std::map<std::string, Group> groups;
    for (auto s = t.scan(false); s.next();) {
        const Row& r = s.row();
        const std::string name = textOf(r[idx[0]]);
        auto [it, fresh] = groups.try_emplace(name);
        Group& g = it->second;
        auto grbit = intOf(r[idx[1]]), ccolumn = intOf(r[idx[2]]), icolumn = intOf(r[idx[3]]);
        const std::string object = textOf(r[idx[4]]), referenced = textOf(r[idx[6]]);
        if (fresh) {
            g.rel.name = name;
            g.rel.table = object;
            g.rel.referencedTable = referenced;
            g.rel.flags = uint32_t(grbit.value_or(0));
            g.count = ccolumn.value_or(0);
        } else if (object != g.rel.table || referenced != g.rel.referencedTable ||
                   uint32_t(grbit.value_or(0)) != g.rel.flags || ccolumn.value_or(0) != g.count) {
            g.rel.problem = "its rows disagree on the tables, flags or number of columns";
        }
        g.parts.push_back({icolumn.value_or(-1), textOf(r[idx[5]]), textOf(r[idx[7]])});
    }
    std::vector<Relationship> out;
    for (auto& [name, g] : groups) {
        Relationship& rel = g.rel;
        std::sort(g.parts.begin(), g.parts.end(),
                  [](const Part& a, const Part& b) { return a.position < b.position; });
        if (rel.problem.empty()) {
            if (name.empty() || rel.table.empty() || rel.referencedTable.empty())
                rel.problem = "a name or table is missing";
            else if (g.count < 1 || g.count > kMaxRelationColumns ||
                     int64_t(g.parts.size()) != g.count)
                rel.problem = "it has " + std::to_string(g.parts.size()) +
                              " column rows but says it has " + std::to_string(g.count);
        }
        for (size_t j = 0; rel.problem.empty() && j < g.parts.size(); ++j) {
            if (g.parts[j].position != int64_t(j))
                rel.problem =
                    "its column positions (icolumn) are not 0 to " + std::to_string(g.count - 1);
            else if (g.parts[j].column.empty() || g.parts[j].referencedColumn.empty())
                rel.problem = "a column name is missing";
        }
        for (auto& p : g.parts) {
            rel.columns.push_back(p.column);
            rel.referencedColumns.push_back(p.referencedColumn);
        }
        out.push_back(std::move(rel));
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// The per-database set

namespace {

// Resolves one side's table and columns and picks the index that finds its rows; returns why it
// cannot be resolved, or "".
std::string resolveSide(Database& db, const std::string& table,
                        const std::vector<std::string>& columns, RelationSide& side) {
    if (!db.hasTable(table)) return "table \"" + table + "\" is not in the database";
    side.table = &db.table(table);
    const TableDef& def = side.table->def();
    std::vector<uint16_t> numbers;
    for (auto& name : columns) {
        int i = side.table->columnIndex(name);
        if (i < 0) return "table \"" + table + "\" has no column \"" + name + "\"";
        uint16_t number = def.columns[size_t(i)].number;
        if (std::find(numbers.begin(), numbers.end(), number) != numbers.end())
            return "it names column \"" + name + "\" of table \"" + table + "\" twice";
        side.columns.push_back(size_t(i));
        numbers.push_back(number);
    }
    // An index over exactly these columns, in any order; a unique one first.
    for (int pass = 0; pass < 2 && side.indexSlot < 0; ++pass) {
        for (size_t s = 0; s < def.realIndexes.size(); ++s) {
            const RealIndex& ix = def.realIndexes[s];
            if (ix.columns.size() != numbers.size() || (pass == 0 && !ix.unique())) continue;
            std::vector<size_t> order;
            for (auto& ic : ix.columns) {
                auto at = std::find(numbers.begin(), numbers.end(), ic.column);
                if (at == numbers.end()) break;
                order.push_back(size_t(at - numbers.begin()));
            }
            if (order.size() != numbers.size()) continue;
            side.indexSlot = int(s);
            side.indexOrder = std::move(order);
            break;
        }
    }
    return "";
}

}  // namespace

std::shared_ptr<const RelationSet> RelationSet::build(Database& db) {
    auto set = std::make_shared<RelationSet>();
    std::vector<std::pair<uint32_t, std::string>> problems;
    for (Relationship& rel : readRelationships(db)) {
        if (!rel.enforced()) continue;
        RelationLink link;
        std::string why = rel.problem;
        try {
            if (why.empty()) why = resolveSide(db, rel.table, rel.columns, link.child);
            if (why.empty())
                why = resolveSide(db, rel.referencedTable, rel.referencedColumns, link.parent);
        } catch (const Error& e) {
            // A damaged definition stops writes to the tables of this relationship only.
            why = e.what();
        }
        if (why.empty() && link.child.columns.size() != link.parent.columns.size())
            why = "its two sides have different numbers of columns";
        if (!why.empty()) {
            const std::string msg = "The relationship \"" + rel.name + "\" between tables \"" +
                                    rel.referencedTable + "\" and \"" + rel.table +
                                    "\" cannot be enforced: " + why +
                                    ". Repair the relationship in Access (or delete it there) "
                                    "before changing these tables";
            for (auto* name : {&rel.table, &rel.referencedTable})
                for (auto& e : db.catalog())
                    if (e.isTable() && equalsIgnoreCase(e.name, *name))
                        problems.push_back({e.tdefPage(), msg});
            continue;
        }
        link.rel = std::move(rel);
        set->links.push_back(std::move(link));
    }
    for (const RelationLink& l : set->links) {
        set->byTable[l.child.table->tdefPage()].asChild.push_back(&l);
        set->byTable[l.parent.table->tdefPage()].asParent.push_back(&l);
    }
    for (auto& [page, msg] : problems) set->byTable[page].problems.push_back(msg);
    return set;
}

const std::shared_ptr<const RelationSet>& Database::relations() {
    if (!relations_) relations_ = RelationSet::build(*this);
    return relations_;
}

// ---------------------------------------------------------------------------------------------
// Enforcement

void relationsAfterInsert(Table& table, const Row& row) {
    std::shared_ptr<const RelationSet> keep;
    const RelationSet::PerTable* links = linksOf(table, keep);
    if (!links) return;
    for (const RelationLink* l : links->asChild) requireParent(table, *l, row);
}

void relationsAfterUpdate(Table& table, const Row& oldRow, const Row& newRow) {
    std::shared_ptr<const RelationSet> keep;
    const RelationSet::PerTable* links = linksOf(table, keep);
    if (!links) return;
    for (const RelationLink* l : links->asChild)
        if (keyChanged(table, l->child, oldRow, newRow)) requireParent(table, *l, newRow);
    for (const RelationLink* l : links->asParent) {
        const std::vector<Value> oldKey = keyOf(l->parent, oldRow);
        if (anyNull(oldKey) || !keyChanged(table, l->parent, oldRow, newRow)) continue;
        if (!findRows(l->parent, oldKey).empty()) continue;  // another row still has the key
        Table& child = *l->child.table;
        const std::vector<RowId> referrers = findRows(l->child, oldKey);
        if (referrers.empty()) continue;
        const std::vector<Value> newKey = keyOf(l->parent, newRow);
        if (!l->rel.cascadeUpdates())
            throwError(ErrorKind::Constraint,
                       "The key of the row in table \"" + table.name() + "\" cannot change from " +
                           keyText(table, l->parent, oldKey) + " to " +
                           keyText(table, l->parent, newKey) + ": table \"" + child.name() +
                           "\" has " + rowsText(referrers.size()) +
                           " to it through the relationship \"" + l->rel.name + "\" (" +
                           keyText(child, l->child, oldKey) +
                           "), and the relationship does not cascade updates. Change or delete "
                           "those rows first");
        runCascade(*l, "Changing the key of a row of table \"" + table.name() + "\"", [&] {
            for (RowId id : referrers) {
                std::optional<Row> r = stillReferring(l->child, id, oldKey);
                if (!r) continue;
                for (size_t j = 0; j < l->child.columns.size(); ++j)
                    (*r)[l->child.columns[j]] = newKey[j];
                child.update(id, *r);
            }
        });
    }
}

void relationsAfterRemove(Table& table, const Row& oldRow) {
    std::shared_ptr<const RelationSet> keep;
    const RelationSet::PerTable* links = linksOf(table, keep);
    if (!links) return;
    for (const RelationLink* l : links->asParent) {
        const std::vector<Value> oldKey = keyOf(l->parent, oldRow);
        if (anyNull(oldKey)) continue;
        if (!findRows(l->parent, oldKey).empty()) continue;  // another row still has the key
        Table& child = *l->child.table;
        const std::vector<RowId> referrers = findRows(l->child, oldKey);
        if (referrers.empty()) continue;
        if (!l->rel.cascadeDeletes() && !l->rel.cascadeNull())
            throwError(ErrorKind::Constraint,
                       "The row cannot be deleted from table \"" + table.name() + "\": table \"" +
                           child.name() + "\" has " + rowsText(referrers.size()) +
                           " to it through the relationship \"" + l->rel.name + "\" (" +
                           keyText(child, l->child, oldKey) + "). Delete " +
                           (referrers.size() == 1 ? "that row" : "those rows") + " or change " +
                           columnList(child, l->child) + " there first");
        const bool deletes = l->rel.cascadeDeletes();
        runCascade(*l, "Deleting a row of table \"" + table.name() + "\"", [&] {
            for (RowId id : referrers) {
                std::optional<Row> r = stillReferring(l->child, id, oldKey);
                if (!r) continue;
                if (deletes) {
                    child.remove(id);
                } else {
                    for (size_t c : l->child.columns) (*r)[c] = std::monostate{};
                    child.update(id, *r);
                }
            }
        });
    }
}

}  // namespace jet
