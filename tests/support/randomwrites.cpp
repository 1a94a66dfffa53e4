// Seeded random writes with a model of the tables.
#include "tests/support/randomwrites.h"

#include <gtest/gtest.h>

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
            int kind =
                m.rows.size() < 5 ? 0 : int(g.next(10));  // 0-3 insert, 4-7 update, 8-9 delete
            try {
                if (kind <= 3) {
                    Row r(def.columns.size());
                    for (size_t i = 0; i < r.size(); ++i)
                        if (!def.columns[i].autoNumber()) r[i] = g.value(def.columns[i], req[i]);
                    RowId id = t.insert(r);
                    m.rows[id.raw()] = r;
                    ++st.inserts;
                } else {
                    auto it = m.rows.begin();
                    std::advance(it, g.next(uint32_t(m.rows.size())));
                    RowId id = RowId::fromRaw(it->first);
                    if (kind <= 7) {
                        Row r = it->second;
                        int changes = 1 + int(g.next(3));
                        for (int c = 0; c < changes; ++c) {
                            size_t i = g.next(uint32_t(r.size()));
                            if (!def.columns[i].autoNumber() && !def.columns[i].autoGuid())
                                r[i] = g.value(def.columns[i], req[i]);
                        }
                        t.update(id, r);
                        it->second = r;
                        ++st.updates;
                    } else {
                        t.remove(id);
                        m.rows.erase(it);
                        ++st.deletes;
                    }
                }
            } catch (const Error& e) {
                // Only a broken rule (a duplicate in a unique index) may reject a write.
                if (e.kind() != ErrorKind::Constraint) throw;
                ++st.rejected;
            }
            if (envInt("ZN_RANDOM_PARANOID", 0)) {
                CheckReport rep = checkDatabase(*db);
                if (!rep.ok()) {
                    ADD_FAILURE() << "after write " << done << " (kind " << kind << ", table "
                                  << m.name << "): " << testing::PrintToString(rep.problems);
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
