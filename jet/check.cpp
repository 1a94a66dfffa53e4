// Integrity check: tables, rows, long values and indexes.
#include "jet/check.h"

#include <map>

#include "jet/indexkey.h"
#include "jet/indexpage.h"

namespace jet {

namespace {

struct Checker {
    Database& db;
    CheckReport& r;

    void problem(const std::string& s) { r.problems.push_back(s); }

    void checkTable(const std::string& name) {
        Table& t = db.table(name);
        const TableDef& def = t.def();
        std::map<uint32_t, Row> rows;  // by RowId
        for (auto s = t.scan(); s.next();) rows.emplace(s.id().raw(), s.row());
        if (rows.size() != def.rowCount)
            problem("table \"" + name + "\": " + std::to_string(def.rowCount) + " rows recorded, " +
                    std::to_string(rows.size()) + " found");
        for (auto& ix : def.realIndexes) checkIndex(name, def, ix, rows);
    }

    std::string indexName(const TableDef& def, const RealIndex& ix) {
        for (auto& li : def.logicalIndexes)
            if (li.realIndex == ix.slot) return li.name;
        return "#" + std::to_string(ix.slot);
    }

    void checkIndex(const std::string& table, const TableDef& def, const RealIndex& ix,
                    const std::map<uint32_t, Row>& rows) {
        const std::string what = "table \"" + table + "\", index \"" + indexName(def, ix) + "\"";
        std::map<uint32_t, std::vector<uint8_t>> entries;
        std::vector<uint8_t> prev;
        bool first = true;
        try {
            forEachIndexEntry(db.pager(), ix, [&](const IndexEntry& e) {
                auto sb = e.sortBytes();
                if (!first && compareBytes(prev, sb) >= 0)
                    problem(what + ": entries out of order at row " + std::to_string(e.row.row) +
                            " of page " + std::to_string(e.row.page));
                first = false;
                prev = std::move(sb);
                if (!entries.emplace(e.row.raw(), e.key).second)
                    problem(what + ": two entries for row " + std::to_string(e.row.row) +
                            " of page " + std::to_string(e.row.page));
            });
        } catch (const Error& e) {
            problem(what + ": " + e.what());
            return;
        }
        size_t expected = 0;
        for (auto& [raw, row] : rows) {
            if (ix.ignoreNulls() && allKeyColumnsNull(def, ix, row)) continue;
            ++expected;
            RowId id = RowId::fromRaw(raw);
            auto it = entries.find(raw);
            if (it == entries.end()) {
                problem(what + ": no entry for row " + std::to_string(id.row) + " of page " +
                        std::to_string(id.page));
                continue;
            }
            std::vector<uint8_t> key;
            KeyStatus st = indexKey(def, ix, row, db.generalSortOrder(), key);
            if (st == KeyStatus::Ok)
                ++r.keysCompared;
            else
                ++r.keysNotComparable;
            if (st == KeyStatus::Ok && key != it->second)
                problem(what + ": wrong key for row " + std::to_string(id.row) + " of page " +
                        std::to_string(id.page) + " (stored " + hex(it->second) + ", expected " +
                        hex(key) + ")");
        }
        if (entries.size() != expected)
            problem(what + ": " + std::to_string(entries.size()) + " entries for " +
                    std::to_string(expected) + " rows");
    }
};

}  // namespace

CheckReport checkDatabase(Database& db) {
    CheckReport r;
    Checker c{db, r};
    try {
        for (auto& name : db.tableNames(TableKind::All)) {
            try {
                c.checkTable(name);
            } catch (const Error& e) {
                r.problems.push_back("table \"" + name + "\": " + e.what());
            }
        }
    } catch (const Error& e) {
        r.problems.push_back(e.what());
    }
    return r;
}

}  // namespace jet
