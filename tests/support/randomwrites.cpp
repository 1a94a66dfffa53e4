// Seeded random writes with a model of the tables.
#include "tests/support/randomwrites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "jet/check.h"
#include "jet/dump.h"
#include "jet/error.h"
#include "tests/support/testsupport.h"

namespace zntest {

using namespace jet;

int envInt(const char* name, int dflt) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : dflt;
}

namespace {

// Characters the text keys of indexes can hold: ASCII, Latin-1 and Cyrillic.
const std::u16string kAlphabet =
    u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,-'!?"
    u"абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"
    u"äöüßéèàçñ\r\n";

class Generator {
  public:
    explicit Generator(uint32_t seed) : rng_(seed) {}
    uint32_t next(uint32_t n) { return n ? rng_() % n : 0; }
    bool chance(int percent) { return int(next(100)) < percent; }

    std::u16string text(size_t maxLen) {
        size_t len = next(uint32_t(maxLen) + 1);
        std::u16string s;
        for (size_t i = 0; i < len; ++i) s.push_back(kAlphabet[next(uint32_t(kAlphabet.size()))]);
        return s;
    }
    // Memo lengths from 10 bytes to 20 KB: mostly short, sometimes long, to move values between
    // inline, single-page and chained storage.
    std::u16string memo() {
        static const size_t sizes[] = {5, 30, 60, 200, 1500, 2100, 5000, 10000};
        return text(sizes[next(8)]);
    }

    Value value(const Column& c, bool required) {
        if (!required && c.type != ColType::Boolean && chance(12)) return std::monostate{};
        switch (c.type) {
            case ColType::Boolean:
                return chance(50);
            case ColType::Byte:
                return int64_t(next(256));
            case ColType::Int:
                return int64_t(int(next(65536)) - 32768);
            case ColType::Long:
                return int64_t(int64_t(rng_()) - 2147483648LL);
            case ColType::Money:
                return Currency{int64_t(rng_()) * 7 - int64_t(rng_())};
            case ColType::Single:
                return double(float(int(next(2000000)) - 1000000) / 64.0f);
            case ColType::Double:
                return (double(rng_()) - 2147483648.0) / double(1 + next(1000));
            case ColType::DateTime:
                return DateTime{double(next(80000)) + double(next(86400)) / 86400.0};
            case ColType::Text: {
                if (c.fixed()) {  // a fixed-length text always holds all its characters
                    std::u16string s;
                    while (s.size() < c.maxChars()) s.push_back(kAlphabet[next(60)]);
                    return s;
                }
                std::u16string s = text(std::min<size_t>(c.maxChars(), 255));
                while (!s.empty() && s.back() == u' ') s.pop_back();
                return s;
            }
            case ColType::Memo:
                return memo();
            case ColType::Binary: {
                Blob b(next(c.length + 1));
                for (auto& x : b) x = uint8_t(rng_());
                return b;
            }
            case ColType::Ole: {
                Blob b(memo().size());
                for (auto& x : b) x = uint8_t(rng_());
                return b;
            }
            case ColType::Guid: {
                Guid g;
                for (auto& x : g.bytes) x = uint8_t(rng_());
                return g;
            }
            case ColType::Numeric: {
                Decimal d;
                d.negative = chance(30);
                d.scale = c.scale;
                unsigned __int128 limit = 1;
                for (int i = 0; i < std::min<int>(c.precision, 18); ++i) limit *= 10;
                d.magnitude = (uint64_t(rng_()) << 32 | rng_()) % uint64_t(limit);
                if (d.magnitude == 0) d.negative = false;
                return d;
            }
            default:
                return std::monostate{};
        }
    }

  private:
    std::mt19937 rng_;
};

// Columns that an index forbids to be NULL (primary keys and "required" indexes).
std::vector<bool> requiredColumns(const TableDef& t) {
    std::vector<bool> req(t.columns.size(), false);
    for (auto& ix : t.realIndexes) {
        bool primary = ix.required();
        for (auto& li : t.logicalIndexes)
            if (li.realIndex == ix.slot && li.primaryKey()) primary = true;
        if (!primary) continue;
        for (auto& ic : ix.columns)
            for (size_t i = 0; i < t.columns.size(); ++i)
                if (t.columns[i].number == ic.column) req[i] = true;
    }
    return req;
}

// An enforced relationship between two modelled tables, read from MSysRelationships here (not
// through the engine's own reading of it).
struct ModelRelation {
    std::string name;
    size_t child = 0, parent = 0;  // model positions
    std::vector<size_t> childCols, parentCols;
    uint32_t flags = 0;
    bool cascadeUpdates() const { return flags & 0x100; }
    bool cascadeDeletes() const { return flags & 0x1000; }
    bool cascadeNull() const { return flags & 0x2000; }
};

// What the enforced relationships make of writes to the model: refusals and cascades, as Jet
// keeps them (a key with a NULL column refers to nothing; a referenced key that another row
// still holds keeps its referrers). Keys are compared as values: the modelled relationships are
// over numbers (text keys, which Jet compares without regard to case, are not modelled).
class RelationModel {
  public:
    RelationModel(Database& db, const std::vector<TableModel>& models) {
        if (!db.hasTable("MSysRelationships")) return;
        Table& t = db.table("MSysRelationships");
        auto col = [&](const char* n) { return size_t(t.columnIndex(n)); };
        const size_t cName = col("szRelationship"), cFlags = col("grbit"), cCount = col("ccolumn"),
                     cPos = col("icolumn"), cObj = col("szObject"), cCol = col("szColumn"),
                     cRef = col("szReferencedObject"), cRefCol = col("szReferencedColumn");
        auto text = [](const Value& v) { return toUtf8(std::get<std::u16string>(v)); };
        auto modelOf = [&](const std::string& name) {
            for (size_t i = 0; i < models.size(); ++i)
                if (models[i].name == name) return int(i);
            return -1;
        };
        std::map<std::string, std::map<int64_t, std::pair<std::string, std::string>>> columns;
        std::map<std::string, ModelRelation> rels;
        for (auto sc = t.scan(); sc.next();) {
            const Row& r = sc.row();
            const int64_t flags = std::get<int64_t>(r[cFlags]);
            const int child = modelOf(text(r[cObj])), parent = modelOf(text(r[cRef]));
            if ((flags & 0x6) || child < 0 || parent < 0) continue;  // not enforced or not ours
            ModelRelation& m = rels[text(r[cName])];
            m.name = text(r[cName]);
            m.child = size_t(child);
            m.parent = size_t(parent);
            m.flags = uint32_t(flags);
            columns[m.name][std::get<int64_t>(r[cPos])] = {text(r[cCol]), text(r[cRefCol])};
            EXPECT_LE(int64_t(columns[m.name].size()), std::get<int64_t>(r[cCount]));
        }
        for (auto& [name, m] : rels) {
            Table& child = db.table(models[m.child].name);
            Table& parent = db.table(models[m.parent].name);
            for (auto& [pos, names] : columns[name]) {
                m.childCols.push_back(size_t(child.columnIndex(names.first)));
                m.parentCols.push_back(size_t(parent.columnIndex(names.second)));
            }
            rels_.push_back(m);
        }
    }

    bool involves(size_t m) const {
        return std::any_of(rels_.begin(), rels_.end(),
                           [&](const ModelRelation& r) { return r.child == m || r.parent == m; });
    }
    const std::vector<ModelRelation>& relations() const { return rels_; }

    // Whether the relationships accept `row` as a new row of table `m`.
    bool acceptsInsert(const std::vector<TableModel>& models, size_t m, const Row& row) const {
        for (auto& r : rels_) {
            if (r.child != m) continue;
            auto k = key(row, r.childCols);
            if (anyNull(k)) continue;
            bool self = r.parent == m && key(row, r.parentCols) == k;
            if (!self && !holds(models[r.parent], r.parentCols, k)) return false;
        }
        return true;
    }

    // Applies an update or a delete with its cascades; false when a relationship refuses it
    // (`models` is then partly changed: the caller keeps a copy). `touched` counts rows changed
    // besides the one written.
    bool update(std::vector<TableModel>& models, size_t m, uint32_t id, const Row& row,
                int& touched, int depth = 0) const {
        Row old = models[m].rows.at(id);
        models[m].rows[id] = row;
        for (auto& r : rels_) {
            if (r.child != m || key(old, r.childCols) == key(row, r.childCols)) continue;
            auto k = key(row, r.childCols);
            if (!anyNull(k) && !holds(models[r.parent], r.parentCols, k)) return false;
        }
        for (auto& r : rels_) {
            if (r.parent != m) continue;
            auto oldKey = key(old, r.parentCols), newKey = key(row, r.parentCols);
            if (anyNull(oldKey) || oldKey == newKey || holds(models[m], r.parentCols, oldKey))
                continue;
            auto refs = referrers(models[r.child], r.childCols, oldKey);
            if (refs.empty()) continue;
            if (!r.cascadeUpdates() || depth >= 64) return false;
            for (uint32_t rid : refs) {
                auto it = models[r.child].rows.find(rid);
                if (it == models[r.child].rows.end() || key(it->second, r.childCols) != oldKey)
                    continue;
                Row changed = it->second;
                for (size_t j = 0; j < r.childCols.size(); ++j) changed[r.childCols[j]] = newKey[j];
                ++touched;
                if (!update(models, r.child, rid, changed, touched, depth + 1)) return false;
            }
        }
        return true;
    }

    bool remove(std::vector<TableModel>& models, size_t m, uint32_t id, int& touched,
                int depth = 0) const {
        Row old = models[m].rows.at(id);
        models[m].rows.erase(id);
        for (auto& r : rels_) {
            if (r.parent != m) continue;
            auto oldKey = key(old, r.parentCols);
            if (anyNull(oldKey) || holds(models[m], r.parentCols, oldKey)) continue;
            auto refs = referrers(models[r.child], r.childCols, oldKey);
            if (refs.empty()) continue;
            if ((!r.cascadeDeletes() && !r.cascadeNull()) || depth >= 64) return false;
            for (uint32_t rid : refs) {
                auto it = models[r.child].rows.find(rid);
                if (it == models[r.child].rows.end() || key(it->second, r.childCols) != oldKey)
                    continue;
                ++touched;
                if (r.cascadeDeletes()) {
                    if (!remove(models, r.child, rid, touched, depth + 1)) return false;
                } else {
                    Row changed = it->second;
                    for (size_t c : r.childCols) changed[c] = std::monostate{};
                    if (!update(models, r.child, rid, changed, touched, depth + 1)) return false;
                }
            }
        }
        return true;
    }

  private:
    static std::vector<Value> key(const Row& row, const std::vector<size_t>& cols) {
        std::vector<Value> k;
        for (size_t c : cols) k.push_back(row[c]);
        return k;
    }
    static bool anyNull(const std::vector<Value>& k) {
        return std::any_of(k.begin(), k.end(), [](const Value& v) { return isNull(v); });
    }
    static std::vector<uint32_t> referrers(const TableModel& t, const std::vector<size_t>& cols,
                                           const std::vector<Value>& k) {
        std::vector<uint32_t> out;
        for (auto& [id, row] : t.rows)
            if (key(row, cols) == k) out.push_back(id);
        return out;
    }
    static bool holds(const TableModel& t, const std::vector<size_t>& cols,
                      const std::vector<Value>& k) {
        for (auto& [id, row] : t.rows)
            if (key(row, cols) == k) return true;
        return false;
    }

    std::vector<ModelRelation> rels_;
};

// Mostly (`percent` of the time) gives the referring columns of `row` the key of an existing
// row, so that writes to referring tables are not nearly all refused.
void referToExistingRows(Generator& g, const RelationModel& rm,
                         const std::vector<TableModel>& models, size_t m, Row& row,
                         const std::vector<bool>& changed) {
    for (auto& r : rm.relations()) {
        if (r.child != m || models[r.parent].rows.empty()) continue;
        bool any = false;
        for (size_t c : r.childCols) any = any || changed[c];
        if (!any || !g.chance(85)) continue;
        auto it = models[r.parent].rows.begin();
        std::advance(it, g.next(uint32_t(models[r.parent].rows.size())));
        for (size_t j = 0; j < r.childCols.size(); ++j)
            row[r.childCols[j]] = it->second[r.parentCols[j]];
    }
}

bool refusedByRelationship(const Error& e) {
    return e.kind() == ErrorKind::Constraint &&
           std::string(e.what()).find("relationship") != std::string::npos;
}

}  // namespace

std::string modelDump(Database& db, const std::vector<TableModel>& models) {
    std::ostringstream out;
    for (auto& m : models) {
        std::vector<Row> rows;
        for (auto& [id, r] : m.rows) rows.push_back(r);
        dumpRows(m.name, db.table(m.name).def(), rows, out);
    }
    return out.str();
}

std::string engineDump(Database& db, const std::vector<TableModel>& models) {
    std::ostringstream out;
    for (auto& m : models) dumpTable(db.table(m.name), out);
    return out.str();
}

std::vector<TableModel> randomWrites(const std::string& path, uint32_t seed, int ops,
                                     WriteStats& st) {
    Generator g(seed);
    OpenOptions o;
    o.writable = true;
    auto db = Database::open(path, o);
    std::vector<TableModel> models;
    for (auto& name : db->tableNames(TableKind::User)) {
        TableModel m{name, {}};
        Table& t = db->table(name);
        for (auto s = t.scan(); s.next();) m.rows.emplace(s.id().raw(), s.row());
        models.push_back(std::move(m));
    }
    const RelationModel relations(*db, models);
    int done = 0;
    while (done < ops) {
        // Mostly single writes (each its own transaction), sometimes a group, sometimes a group
        // that is rolled back.
        int group = g.chance(70) ? 1 : 2 + int(g.next(20));
        bool explicitTxn = group > 1;
        bool abandon = explicitTxn && g.chance(20);
        std::vector<TableModel> before;
        if (explicitTxn) {
            before = models;
            db->begin();
        }
        for (int k = 0; k < group && done < ops; ++k, ++done) {
            TableModel& m = models[g.next(uint32_t(models.size()))];
            Table& t = db->table(m.name);
            const TableDef def = t.def();
            auto req = requiredColumns(def);
            const size_t mi = size_t(&m - models.data());
            const bool related = relations.involves(mi);
            int kind =
                m.rows.size() < 5 ? 0 : int(g.next(10));  // 0-3 insert, 4-7 update, 8-9 delete
            // What the relationships say of the write: accepted (with `after`, the model with its
            // cascades applied) or refused.
            bool accepted = true;
            std::vector<TableModel> after;
            int touched = 0;
            try {
                if (kind <= 3) {
                    Row r(def.columns.size());
                    for (size_t i = 0; i < r.size(); ++i)
                        if (!def.columns[i].autoNumber()) r[i] = g.value(def.columns[i], req[i]);
                    if (related) {
                        referToExistingRows(g, relations, models, mi, r,
                                            std::vector<bool>(r.size(), true));
                        accepted = relations.acceptsInsert(models, mi, r);
                    }
                    RowId id = t.insert(r);
                    EXPECT_TRUE(accepted) << "an insert into " << m.name
                                          << " that a relationship refuses was accepted";
                    m.rows[id.raw()] = r;
                    ++st.inserts;
                } else {
                    auto it = m.rows.begin();
                    std::advance(it, g.next(uint32_t(m.rows.size())));
                    RowId id = RowId::fromRaw(it->first);
                    if (kind <= 7) {
                        Row r = it->second;
                        std::vector<bool> changed(r.size(), false);
                        int changes = 1 + int(g.next(3));
                        for (int c = 0; c < changes; ++c) {
                            size_t i = g.next(uint32_t(r.size()));
                            if (!def.columns[i].autoNumber() && !def.columns[i].autoGuid()) {
                                r[i] = g.value(def.columns[i], req[i]);
                                changed[i] = true;
                            }
                        }
                        if (related) {
                            referToExistingRows(g, relations, models, mi, r, changed);
                            after = models;
                            accepted = relations.update(after, mi, it->first, r, touched);
                        }
                        t.update(id, r);
                        EXPECT_TRUE(accepted) << "an update of " << m.name
                                              << " that a relationship refuses was accepted";
                        if (related)
                            models = std::move(after);
                        else
                            it->second = r;
                        ++st.updates;
                    } else {
                        if (related) {
                            after = models;
                            accepted = relations.remove(after, mi, it->first, touched);
                        }
                        t.remove(id);
                        EXPECT_TRUE(accepted) << "a delete from " << m.name
                                              << " that a relationship refuses was accepted";
                        if (related)
                            models = std::move(after);
                        else
                            m.rows.erase(it);
                        ++st.deletes;
                    }
                    if (touched) ++st.cascaded;
                }
            } catch (const Error& e) {
                // Only a broken rule (a duplicate in a unique index, a relationship) may reject a
                // write; a relationship only when the model says so.
                if (e.kind() != ErrorKind::Constraint) throw;
                if (refusedByRelationship(e)) {
                    EXPECT_FALSE(accepted) << "refused, but the model accepts it: " << e.what();
                    ++st.refusedByRelationship;
                }
                ++st.rejected;
            }
            if (envInt("ZN_RANDOM_PARANOID", 0)) {
                CheckReport rep = checkDatabase(*db);
                if (!rep.ok()) {
                    ADD_FAILURE() << "after write " << done << " (kind " << kind << ", table "
                                  << models[mi].name
                                  << "): " << testing::PrintToString(rep.problems);
                    return models;
                }
            }
        }
        if (explicitTxn) {
            if (abandon) {
                db->rollback();
                models = std::move(before);
                ++st.rolledBack;
            } else {
                db->commit();
            }
        }
    }
    EXPECT_TRUE(sameDump(engineDump(*db, models), modelDump(*db, models))) << "after seed " << seed;
    return models;
}

}  // namespace zntest
