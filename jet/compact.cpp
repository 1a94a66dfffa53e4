// Compaction.
//
// The copy keeps the source's page 0 (code page, sort order, password field and the rest),
// Jet's four system tables at pages 2..5 and every other table with its definition as stored,
// only with new page numbers for its usage maps, index roots and related tables. Rows are
// copied in primary-key order with their long values stored afresh, catalog ids follow the new
// definition pages, and every index is built anew from its keys. Auto-number seeds restart at
// the highest remaining id (0 for an empty table), as Jet's own compaction does.
#include "jet/compact.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "jet/database.h"
#include "jet/datapage.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/header.h"
#include "jet/indexkey.h"
#include "jet/indexpage.h"
#include "jet/indexwriter.h"
#include "jet/pagewriter.h"
#include "jet/row.h"
#include "jet/rowstore.h"
#include "jet/tdefbuild.h"

namespace jet {

namespace {

constexpr size_t kCommitEvery = 2048;  // dirty pages kept in memory before they are written

struct Plan {
    std::string name;
    uint32_t oldPage = 0;
    TableDef src;
    std::vector<uint32_t> pages;  // new definition pages
    uint32_t ownedMap = 0, freeMap = 0;
    std::vector<uint32_t> indexMaps, roots;
    std::map<uint16_t, std::pair<uint32_t, uint32_t>> longMaps;
};

bool isTextual(ColType t) {
    return t == ColType::Text || t == ColType::Memo;
}

// The source definition with the copy's page numbers, counters and (when it changes) sort order.
std::vector<uint8_t> cloneDefinition(const Plan& p, const std::map<uint32_t, uint32_t>& pageMap,
                                     uint32_t rows, int32_t autoNumber,
                                     const std::vector<uint32_t>& unique, bool toGeneral) {
    std::vector<uint8_t> b(
        p.src.buf.begin(),
        p.src.buf.begin() + Bytes(p.src.buf.data(), p.src.buf.size()).u32(fmt::kTdefLength));
    putU32(b.data() + fmt::kTdefRowCount, rows);
    putU32(b.data() + fmt::kTdefAutoNumber, uint32_t(autoNumber));
    putU32(b.data() + fmt::kTdefOwnedMap, p.ownedMap);
    putU32(b.data() + fmt::kTdefFreeMap, p.freeMap);
    for (size_t i = 0; i < p.src.realIndexes.size(); ++i) {
        const RealIndex& ix = p.src.realIndexes[i];
        putU32(b.data() + ix.countOffset + 4, unique[i]);
        putU32(b.data() + ix.defOffset + 34, p.indexMaps[i]);
        putU32(b.data() + ix.defOffset + 38, p.roots[i]);
    }
    for (auto& li : p.src.logicalIndexes) {
        if (!li.relTable) continue;
        auto it = pageMap.find(li.relTable);
        putU32(b.data() + li.defOffset + 17, it == pageMap.end() ? 0 : it->second);
    }
    for (auto& lm : p.src.longMaps) {
        auto it = p.longMaps.find(lm.column);
        putU32(b.data() + lm.offset + 2, it == p.longMaps.end() ? 0 : it->second.first);
        putU32(b.data() + lm.offset + 6, it == p.longMaps.end() ? 0 : it->second.second);
    }
    if (toGeneral) {
        for (auto& c : p.src.columns) {
            if (!isTextual(c.type)) continue;
            putU16(b.data() + c.descOffset + fmt::kColMisc, fmt::kSortGeneral);
            b[c.descOffset + fmt::kColMisc + 3] = 0;
        }
    }
    return b;
}

// Keys of the source's index entries by row, for keys this engine cannot compute itself.
std::map<uint32_t, std::vector<uint8_t>> sourceKeys(Pager& pager, const RealIndex& ix) {
    std::map<uint32_t, std::vector<uint8_t>> out;
    forEachIndexEntry(pager, ix,
                      [&](const IndexEntry& e) { out.emplace(e.row.raw(), e.keyBytes()); });
    return out;
}

class Compactor {
  public:
    Compactor(Database& src, Pager& dst, bool toGeneral)
        : src_(src), dst_(dst), x_(dst), toGeneral_(toGeneral) {}

    void run() {
        planTables();
        copyTables();
    }

  private:
    void commitIfLarge() {
        if (dst_.dirtyCount() < kCommitEvery) return;
        dst_.commit();
        dst_.begin();
    }

    uint32_t mapRow(std::vector<uint8_t> bytes) {
        if (!holder_ || !holderPage_.fits(bytes.size()) || holderPage_.slots.size() >= 120) {
            if (holder_) holderPage_.store(dst_);
            holder_ = x_.alloc.allocate();
            initDataPage(dst_.modify(holder_), 0, false);
            holderPage_ = SlotPage::load(dst_, holder_);
        }
        unsigned slot = holderPage_.add(std::move(bytes), 0);
        return RowId{holder_, uint8_t(slot)}.raw();
    }

    void planTables() {
        // Jet's four tables first, at pages 2..5, then the others in their old order.
        std::vector<std::pair<uint32_t, std::string>> tables;
        for (auto& e : src_.catalog())
            if (e.isTable()) tables.push_back({e.tdefPage(), e.name});
        std::sort(tables.begin(), tables.end());
        for (uint32_t want = 2; want <= 5; ++want)
            if (tables.size() < 4 || tables[want - 2].first != want)
                throwError(ErrorKind::Unsupported,
                           "The database's system tables are not where Jet puts them; it cannot be "
                           "compacted");
        for (auto& [page, name] : tables) {
            Plan p;
            p.name = name;
            p.oldPage = page;
            p.src = src_.table(name).def();
            plans_.push_back(std::move(p));
        }
        // Definition pages: the first page of each system table at 2..5, then the rest.
        for (size_t i = 0; i < plans_.size(); ++i) plans_[i].pages.push_back(x_.alloc.allocate());
        for (auto& p : plans_)
            for (size_t k = 1; k < p.src.pages.size(); ++k) p.pages.push_back(x_.alloc.allocate());
        for (auto& p : plans_) pageMap_[p.oldPage] = p.pages[0];
        // Usage maps and index roots.
        for (auto& p : plans_) {
            p.ownedMap = mapRow(inlineMapRow(0, false));
            p.freeMap = mapRow(inlineMapRow(0, false));
            for (auto& lm : p.src.longMaps) {
                uint32_t owned = mapRow(inlineMapRow(0, false));
                uint32_t free = mapRow(inlineMapRow(0, false));
                p.longMaps[lm.column] = {owned, free};
            }
            for (size_t i = 0; i < p.src.realIndexes.size(); ++i) {
                uint32_t root = x_.alloc.allocate();
                writeEmptyLeaf(dst_.modify(root), p.pages[0]);
                p.roots.push_back(root);
                p.indexMaps.push_back(mapRow(inlineMapRow(root, true)));
            }
        }
        if (holder_) holderPage_.store(dst_);
        // Definitions with zero counters for now; the counters follow the copied rows.
        for (auto& p : plans_) {
            std::vector<uint32_t> unique(p.src.realIndexes.size(), 0);
            writeTdefPages(dst_, cloneDefinition(p, pageMap_, 0, 0, unique, toGeneral_), p.pages);
        }
    }

    // Catalog ids of tables are their definition pages; they follow the tables.
    void remapIds(const Plan& p, Row& r) {
        auto remap = [&](const char* column, bool onlyTables) {
            int c = p.src.column(column) ? int(p.src.column(column) - p.src.columns.data()) : -1;
            if (c < 0) return;
            auto* v = std::get_if<int64_t>(&r[size_t(c)]);
            if (!v || *v <= 0 || *v > 0x00FFFFFF) return;
            if (onlyTables) {
                int t =
                    p.src.column("Type") ? int(p.src.column("Type") - p.src.columns.data()) : -1;
                auto* type = t >= 0 ? std::get_if<int64_t>(&r[size_t(t)]) : nullptr;
                if (!type || (*type & 0x7F) != fmt::kObjTable) return;
            }
            auto it = pageMap_.find(uint32_t(*v));
            if (it != pageMap_.end()) *v = int64_t(it->second);
        };
        if (p.oldPage == fmt::kCatalogPage) remap("Id", true);
        if (equalsIgnoreCase(p.name, "MSysACEs")) remap("ObjectId", false);
    }

    void copyTables() {
        for (auto& p : plans_) copyTable(p);
    }

    void copyTable(const Plan& p) {
        Table& st = src_.table(p.name);
        const TableDef dt = readTableDef(dst_, p.pages[0]);
        const bool srcGeneral = src_.generalSortOrder();
        // The primary key's index, to copy rows in key order.
        int pk = -1;
        for (auto& li : dt.logicalIndexes)
            if (li.primaryKey()) pk = int(li.realIndex);
        struct Item {
            std::vector<uint8_t> order;
            RowId old;
            Row row;
        };
        std::vector<Item> items;
        int autoCol = -1;
        for (size_t i = 0; i < dt.columns.size(); ++i)
            if (dt.columns[i].autoNumber() && dt.columns[i].type == ColType::Long) autoCol = int(i);
        int64_t maxAuto = 0;
        for (auto s = st.scan(); s.next();) {
            Item it{{}, s.id(), s.row()};
            remapIds(p, it.row);
            if (pk >= 0) indexKey(dt, dt.realIndexes[size_t(pk)], it.row, true, it.order);
            if (autoCol >= 0)
                if (auto* v = std::get_if<int64_t>(&it.row[size_t(autoCol)]))
                    maxAuto = std::max(maxAuto, *v);
            items.push_back(std::move(it));
        }
        std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            return compareBytes(a.order, b.order) < 0;
        });

        std::vector<std::vector<std::vector<uint8_t>>> entries(dt.realIndexes.size());
        std::vector<std::optional<std::map<uint32_t, std::vector<uint8_t>>>> oldKeys(
            dt.realIndexes.size());
        SlotPage page;
        uint32_t pageNo = 0;
        auto flush = [&] {
            if (pageNo) page.store(dst_);
        };
        for (auto& it : items) {
            std::vector<bool> reused;
            auto var = buildFields(x_, dt, it.row, nullptr, Bytes(), reused);
            std::vector<uint8_t> bytes = encodeRow(dt, it.row, var);
            if (bytes.size() > fmt::kMaxRowSize)
                throwError(ErrorKind::Unsupported,
                           "A row of table \"" + p.name + "\" is too large to copy");
            if (!pageNo || !page.fits(bytes.size())) {
                flush();
                pageNo = x_.alloc.allocate();
                initDataPage(dst_.modify(pageNo), dt.page, false);
                x_.maps.add(dt.ownedMap, pageNo);
                page = SlotPage::load(dst_, pageNo);
            }
            RowId id{pageNo, uint8_t(page.add(std::move(bytes), 0))};
            for (size_t i = 0; i < dt.realIndexes.size(); ++i) {
                const RealIndex& ix = dt.realIndexes[i];
                if (ix.ignoreNulls() && allKeyColumnsNull(dt, ix, it.row)) continue;
                std::vector<uint8_t> key;
                if (indexKey(dt, ix, it.row, true, key) != KeyStatus::Ok) {
                    // A key this engine cannot compute: take the source's own, unless the sort
                    // order changes (then the old key would be in the wrong order).
                    bool text = false;
                    for (auto& ic : ix.columns)
                        text |= isTextual(dt.columnByNumber(ic.column)->type);
                    if (text && !srcGeneral)
                        throwError(ErrorKind::Unsupported,
                                   "Table \"" + p.name +
                                       "\" holds text the General sort order cannot index; the "
                                       "database cannot be compacted");
                    if (!oldKeys[i]) oldKeys[i] = sourceKeys(src_.pager(), st.def().realIndexes[i]);
                    auto k = oldKeys[i]->find(it.old.raw());
                    if (k == oldKeys[i]->end())
                        throwError(ErrorKind::Corrupt, "The index of table \"" + p.name +
                                                           "\" lacks an entry for one of its rows");
                    key = k->second;
                }
                entries[i].push_back(entryBytes(key, id));
            }
            commitIfLarge();
        }
        flush();
        if (pageNo && page.freeSpace() >= kFreeMapThreshold) x_.maps.add(dt.freeMap, pageNo);

        std::vector<uint32_t> unique(dt.realIndexes.size(), 0);
        for (size_t i = 0; i < dt.realIndexes.size(); ++i) {
            auto& e = entries[i];
            std::sort(e.begin(), e.end(),
                      [](const auto& a, const auto& b) { return compareBytes(a, b) < 0; });
            const size_t tail = 4;  // row pointer after the key
            for (size_t k = 0; k < e.size(); ++k)
                if (k == 0 || !std::equal(e[k].begin(), e[k].end() - tail, e[k - 1].begin(),
                                          e[k - 1].end() - tail))
                    ++unique[i];
            IndexWriter(dst_, x_.alloc, x_.maps, dt.page, dt.realIndexes[i]).rebuild(e);
            commitIfLarge();
        }
        const int32_t seed = autoCol >= 0 ? int32_t(maxAuto) : p.src.lastAutoNumber;
        writeTdefPages(
            dst_, cloneDefinition(p, pageMap_, uint32_t(items.size()), seed, unique, toGeneral_),
            p.pages);
    }

    Database& src_;
    Pager& dst_;
    Ctx x_;
    bool toGeneral_;
    std::vector<Plan> plans_;
    std::map<uint32_t, uint32_t> pageMap_;
    uint32_t holder_ = 0;
    SlotPage holderPage_;
};

}  // namespace

namespace {

std::unique_ptr<Database> openSource(const std::string& source, Env& env) {
    OpenOptions o;
    // Holding the lock file keeps every other writer out while the file is copied. Readers are
    // no obstacle: they read the old file to the end of their read scope and the new one after.
    o.writable = true;
    o.allowPassword = true;
    o.env = &env;
    try {
        return Database::open(source, o);
    } catch (const Error& e) {
        if (e.kind() != ErrorKind::InUse) throw;
        throwError(ErrorKind::InUse, "The database \"" + source +
                                         "\" cannot be compacted while another program has it "
                                         "open for writing: " +
                                         e.what());
    }
}

CompactResult compactInto(Database& src, const std::string& destination, Env& env) {
    CompactResult result;
    result.sizeBefore = uint64_t(src.pager().pageCount()) * fmt::kPageSize;
    const bool toGeneral = !src.generalSortOrder();
    PageBuf header = src.header().raw();
    if (toGeneral) {
        header = src.header().withSortOrder(fmt::kSortGeneral, 0);
        result.note =
            "The database used sort order " + std::to_string(src.header().sortOrder()) +
            ", whose index keys this program cannot write; the compacted database uses the "
            "General sort order and its text indexes were rebuilt for it";
    }
    auto file = env.open(destination, OpenMode::CreateNew);
    try {
        if (!file->tryLockExclusive())
            throwError(ErrorKind::InUse, "The file \"" + destination + "\" is in use");
        Pager dst(env, destination, std::move(file), true);
        dst.setJournaling(false);
        dst.begin();
        uint32_t p0 = dst.append(), p1 = dst.append();
        dst.modify(p0) = header;
        // The global map: pages past the end of the file are free; the allocator marks each new
        // page used.
        std::vector<uint8_t> global = inlineMapRow(0, false);
        for (size_t i = 5; i < global.size(); ++i) global[i] = 0xFF;
        global[5] &= 0xFC;  // pages 0 and 1
        initDataPage(dst.modify(p1), 1, false);
        SlotPage gp = SlotPage::load(dst, p1);
        gp.add(global, 0);
        gp.add(std::vector<uint8_t>(69, 0), 0);
        gp.store(dst);
        Compactor(src, dst, toGeneral).run();
        dst.commit();
        result.sizeAfter = uint64_t(dst.pageCount()) * fmt::kPageSize;
    } catch (...) {
        env.remove(destination);
        throw;
    }
    return result;
}

}  // namespace

CompactResult compactDatabase(const std::string& source, const std::string& destination,
                              Env* envp) {
    Env& env = envp ? *envp : Env::posix();
    auto src = openSource(source, env);
    return compactInto(*src, destination, env);
}

namespace {

bool isCompactionLeftover(const std::string& name) {
    // "mdb" + hex digits + ".tmp", as this program names its copies.
    if (name.size() < 8 || name.compare(0, 3, "mdb") != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0)
        return false;
    for (size_t i = 3; i < name.size() - 4; ++i)
        if (!std::isxdigit(uint8_t(name[i]))) return false;
    return true;
}

}  // namespace

CompactResult compactInPlace(const std::string& path, Env* envp) {
    Env& env = envp ? *envp : Env::posix();
    const std::string folder = dirOf(path);
    // Copies left by an interrupted compaction: a file of ours that nobody holds.
    for (const std::string& name : env.list(folder.empty() ? "" : folder)) {
        if (!isCompactionLeftover(name)) continue;
        const std::string full = folder + name;
        try {
            auto f = env.open(full, OpenMode::ReadWrite);
            if (f->tryLockExclusive()) env.remove(full);
        } catch (const Error&) {
        }
    }
    std::random_device rd;
    std::string temp;
    for (int attempt = 0;; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "mdb%04X.tmp", unsigned(rd() & 0xFFFF));
        temp = folder + name;
        if (!env.exists(temp)) break;
        if (attempt > 1000)
            throwError(ErrorKind::Io,
                       "Cannot find a free temporary file name in \"" + folder + "\"");
    }
    // The source stays locked from the copy until the rename, so nobody changes it in between.
    auto src = openSource(path, env);
    CompactResult r = compactInto(*src, temp, env);
    try {
        {
            auto f = env.open(temp, OpenMode::ReadWrite);
            f->sync();
        }
        env.rename(temp, path);
    } catch (...) {
        env.remove(temp);
        throw;
    }
    try {
        env.syncDirOf(path);
    } catch (const Error&) {
        // The compacted file is in place; only the durability of the rename is uncertain, and
        // either name's contents are a whole database.
    }
    return r;
}

}  // namespace jet
