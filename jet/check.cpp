// Integrity check: page ownership and the global map, data pages, table rows, long values and
// indexes.
#include "jet/check.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

#include "jet/datapage.h"
#include "jet/format.h"
#include "jet/indexkey.h"
#include "jet/indexpage.h"
#include "jet/longvalue.h"
#include "jet/text.h"
#include "jet/usagemap.h"

namespace jet {

namespace {

struct Checker {
    Database& db;
    CheckReport& r;
    std::map<uint32_t, std::string> owner;  // page -> what it belongs to
    std::set<uint32_t> mapHolders;          // pages holding usage-map rows
    std::set<uint32_t> lvalRowsSeen;        // long-value rows referenced by some value

    Pager& pager() { return db.pager(); }
    void problem(const std::string& s) { r.problems.push_back(s); }

    void own(uint32_t page, const std::string& what) {
        auto [it, fresh] = owner.emplace(page, what);
        if (!fresh && it->second != what)
            problem("page " + std::to_string(page) + " belongs both to " + it->second + " and to " +
                    what);
    }

    std::vector<uint32_t> mapPages(uint32_t mapRow, const std::string& what,
                                   UsageMapInfo* info = nullptr) {
        RowId where = RowId::fromRaw(mapRow);
        UsageMapInfo local;
        UsageMapInfo& mi = info ? *info : local;
        auto pages = readUsageMap(pager(), where, false, &mi);
        mapHolders.insert(where.page);
        for (uint32_t bp : mi.bitmapPages)
            if (bp) own(bp, "the bitmap of " + what);
        return pages;
    }

    void checkDataPageLayout(const DataPage& dp) {
        size_t used = fmt::kDataRowTable + 2 * size_t(dp.rowCount());
        for (unsigned i = 0; i < dp.rowCount(); ++i) used += dp.row(i).size();
        size_t expect = used > fmt::kPageSize ? 0 : fmt::kPageSize - used;
        if (dp.freeSpace() != expect)
            problem("page " + std::to_string(dp.no()) + ": free space recorded " +
                    std::to_string(dp.freeSpace()) + ", actual " + std::to_string(expect));
    }

    void checkTable(const CatalogEntry& e) {
        const std::string& name = e.name;
        Table& t = db.table(name);
        const TableDef& def = t.def();
        const std::string what = "table \"" + name + "\"";
        for (uint32_t p : def.pages) own(p, what + " (definition)");

        // Data pages.
        std::vector<uint32_t> data = mapPages(def.ownedMap, what);
        std::set<uint32_t> dataSet(data.begin(), data.end());
        for (uint32_t p : data) {
            own(p, what);
            DataPage dp(pager().get(p));
            if (dp.owner() != def.page)
                problem("page " + std::to_string(p) + " in the page map of " + what +
                        " belongs to another table");
            checkDataPageLayout(dp);
        }
        for (uint32_t p : mapPages(def.freeMap, what + " (free space)"))
            if (!dataSet.count(p))
                problem("the free-space map of " + what + " lists page " + std::to_string(p) +
                        ", which the table does not own");

        // Moved rows: every moved copy is reached by exactly one pointer.
        std::map<uint32_t, int> targets;
        for (uint32_t p : data) {
            DataPage dp(pager().get(p));
            for (unsigned i = 0; i < dp.rowCount(); ++i) {
                uint16_t raw = dp.rawOffset(i);
                if ((raw & 0xC000) == fmt::kRowOverflow) {
                    Bytes b = dp.row(i);
                    if (b.size() < 4) {
                        problem(what + ": a row pointer is too short");
                        continue;
                    }
                    ++targets[b.u32(0)];
                }
            }
        }
        for (uint32_t p : data) {
            DataPage dp(pager().get(p));
            for (unsigned i = 0; i < dp.rowCount(); ++i) {
                uint16_t raw = dp.rawOffset(i);
                if ((raw & 0xC000) != fmt::kRowDeleted) continue;
                RowId id{p, uint8_t(i)};
                if (targets[id.raw()] != 1)
                    problem(what + ": moved row " + std::to_string(i) + " of page " +
                            std::to_string(p) + " is reached by " +
                            std::to_string(targets[id.raw()]) +
                            " pointers (other readers show an unreached one as a live row)");
            }
        }

        // Rows, long values, auto-number.
        std::map<uint32_t, Row> rows;
        int64_t maxAuto = std::numeric_limits<int64_t>::min();
        int autoCol = -1;
        for (size_t i = 0; i < def.columns.size(); ++i)
            if (def.columns[i].autoNumber() && def.columns[i].type == ColType::Long)
                autoCol = int(i);
        for (auto s = t.scan(); s.next();) {
            rows.emplace(s.id().raw(), s.row());
            if (autoCol >= 0)
                if (auto* v = std::get_if<int64_t>(&s.row()[size_t(autoCol)]))
                    maxAuto = std::max(maxAuto, *v);
            RowLayout l = parseRowLayout(def, s.rowBytes());
            checkTexts(what, def, l, s);
            for (auto& c : def.columns) {
                Bytes f;
                if (!isLongValue(c.type) || !columnBytes(def, l, s.rowBytes(), c, f) || f.empty())
                    continue;
                for (uint32_t lr : longValueRows(pager(), f)) {
                    RowId id = RowId::fromRaw(lr);
                    if (!lvalRowsSeen.insert(lr).second)
                        problem(what + ": two long values share row " + std::to_string(id.row) +
                                " of page " + std::to_string(id.page));
                    DataPage dp(pager().get(id.page));
                    if ((dp.rawOffset(id.row) & 0xC000) == 0xC000)
                        problem(what + ": a long value of column \"" + c.name +
                                "\" uses deleted row " + std::to_string(id.row) + " of page " +
                                std::to_string(id.page));
                    own(id.page, what + " (long values of \"" + c.name + "\")");
                }
            }
        }
        if (rows.size() != def.rowCount)
            problem(what + ": " + std::to_string(def.rowCount) + " rows recorded, " +
                    std::to_string(rows.size()) + " found");
        if (autoCol >= 0 && !rows.empty() && maxAuto > def.lastAutoNumber &&
            def.lastAutoNumber >= 0)
            problem(what + ": the last auto-number handed out (" +
                    std::to_string(def.lastAutoNumber) + ") is below the highest id (" +
                    std::to_string(maxAuto) + ")");

        for (auto& lm : def.longMaps) {
            const Column* c = def.columnByNumber(lm.column);
            std::string lwhat = what + " (long values of \"" + (c ? c->name : "?") + "\")";
            try {
                for (uint32_t p : mapPages(lm.ownedMap, lwhat)) {
                    own(p, lwhat);
                    DataPage dp(pager().get(p));
                    if (!dp.isLval())
                        problem("page " + std::to_string(p) + " in the long-value map of " + lwhat +
                                " is not a long-value page");
                    checkDataPageLayout(dp);
                }
                mapPages(lm.freeMap, lwhat + " (free space)");
            } catch (const Error& e) {
                // Access leaves unusable column maps in some files; readers ignore them.
                (void)e;
            }
        }
        for (auto& ix : def.realIndexes) checkIndex(name, def, ix, rows);
    }

    // Text values whose bytes do not read back as written (see storedTextProblem).
    void checkTexts(const std::string& what, const TableDef& def, const RowLayout& l,
                    const Table::Scan& s) {
        for (auto& c : def.columns) {
            if (c.type != ColType::Text && c.type != ColType::Memo) continue;
            Bytes f;
            if (!columnBytes(def, l, s.rowBytes(), c, f)) continue;
            std::string why;
            if (c.type == ColType::Text) {
                why = storedTextProblem(f);
            } else if (!f.empty()) {
                std::vector<uint8_t> data = readLongValue(pager(), f);
                why = storedTextProblem(Bytes(data.data(), data.size()));
            }
            if (!why.empty())
                problem(what + ": the text in column \"" + c.name + "\" of row " +
                        std::to_string(s.id().row) + " of page " + std::to_string(s.id().page) +
                        " does not read back: " + why);
        }
    }

    // Walks the tree: page ownership, node keys equal to the last entry below them, free space,
    // and the leaves in order; returns the leaf pages in key order.
    std::vector<uint8_t> walk(const std::string& what, const TableDef& def, uint32_t pg, int depth,
                              std::set<uint32_t>& seen, std::vector<uint32_t>& leaves) {
        if (depth > fmt::kMaxIndexDepth) throwCorrupt(pg, "the index tree is deeper than possible");
        if (!seen.insert(pg).second) throwCorrupt(pg, "the index tree loops");
        own(pg, what);
        const auto parsed = loadIndexPage(pager(), pg);
        const IndexPage& p = *parsed;
        if (p.owner() != def.page)
            problem(what + ": page " + std::to_string(pg) + " belongs to another table");
        if (p.freeSpace() != fmt::kIdxMaxEntryBytes - p.usedBytes())
            problem(what + ": page " + std::to_string(pg) + " records free space " +
                    std::to_string(p.freeSpace()) + ", actual " +
                    std::to_string(fmt::kIdxMaxEntryBytes - p.usedBytes()));
        if (p.leaf()) {
            leaves.push_back(pg);
            return p.entries().empty() ? std::vector<uint8_t>() : p.entries().back().sortBytes();
        }
        std::vector<uint8_t> last;
        for (const IndexEntry& e : p.entries()) {
            last = walk(what, def, e.child, depth + 1, seen, leaves);
            if (last != e.sortBytes())
                problem(what + ": node page " + std::to_string(pg) + " has a stale key for child " +
                        std::to_string(e.child));
        }
        if (p.tail()) last = walk(what, def, p.tail(), depth + 1, seen, leaves);
        return last;
    }

    void checkIndex(const std::string& table, const TableDef& def, const RealIndex& ix,
                    const std::map<uint32_t, Row>& rows) {
        const std::string what = "table \"" + table + "\", index \"" + def.indexName(ix) + "\"";
        std::map<uint32_t, std::vector<uint8_t>> entries;
        try {
            std::set<uint32_t> seen;
            std::vector<uint32_t> leaves;
            walk(what, def, ix.rootPage, 0, seen, leaves);
            for (size_t i = 0; i < leaves.size(); ++i) {
                const auto parsed = loadIndexPage(pager(), leaves[i]);
                const IndexPage& p = *parsed;
                uint32_t prev = i ? leaves[i - 1] : 0,
                         next = i + 1 < leaves.size() ? leaves[i + 1] : 0;
                if (leaves.size() > 1 && (p.prev() != prev || p.next() != next))
                    problem(what + ": leaf page " + std::to_string(leaves[i]) + " is linked to " +
                            std::to_string(p.prev()) + "/" + std::to_string(p.next()) +
                            " instead of " + std::to_string(prev) + "/" + std::to_string(next));
            }
            if (ix.usageMap) {
                auto mapped = mapPages(ix.usageMap, what);
                std::set<uint32_t> m(mapped.begin(), mapped.end());
                if (m != seen)
                    problem(what + ": its page map does not list exactly the pages of its tree");
            }
            std::vector<uint8_t> prev;
            bool first = true;
            forEachIndexEntry(pager(), ix, [&](const IndexEntry& e) {
                auto sb = e.sortBytes();
                if (!first && compareBytes(prev, sb) >= 0)
                    problem(what + ": entries out of order at row " + std::to_string(e.row.row) +
                            " of page " + std::to_string(e.row.page));
                first = false;
                prev = std::move(sb);
                if (!entries.emplace(e.row.raw(), e.keyBytes()).second)
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

    void checkGlobalMap() {
        UsageMapInfo info;
        std::vector<uint32_t> free = readUsageMap(pager(), RowId::fromRaw(1u << 8), true, &info);
        mapHolders.insert(1);
        for (uint32_t bp : info.bitmapPages)
            if (bp) own(bp, "the global map's bitmap");
        for (uint32_t p : mapHolders) own(p, "usage maps");
        own(0, "the header");
        std::set<uint32_t> freeSet(free.begin(), free.end());
        uint64_t covered = info.kind == 0 ? uint64_t(info.startPage) + info.bitmapBytes * 8 : ~0ull;
        for (uint32_t p = info.kind == 0 ? info.startPage : 0;
             p < pager().pageCount() && p < covered; ++p) {
            bool used = owner.count(p) != 0;
            if (used && freeSet.count(p))
                problem("page " + std::to_string(p) + " (" + owner[p] +
                        ") is marked free in the global map");
        }
    }
};

}  // namespace

CheckReport checkDatabase(Database& db) {
    CheckReport r;
    Checker c{db, r, {}, {}, {}};
    try {
        for (auto& e : db.catalog()) {
            if (!e.isTable()) continue;
            try {
                c.checkTable(e);
            } catch (const Error& err) {
                r.problems.push_back("table \"" + e.name + "\": " + err.what());
            }
        }
        c.checkGlobalMap();
    } catch (const Error& e) {
        r.problems.push_back(e.what());
    }
    return r;
}

}  // namespace jet
