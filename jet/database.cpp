// Opening databases, the catalog and table scans.
#include "jet/database.h"

#include <algorithm>

#include "jet/datapage.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/indexkey.h"
#include "jet/indexpage.h"
#include "jet/properties.h"
#include "jet/usagemap.h"

namespace jet {

namespace {

bool startsWithMSys(std::string_view n) {
    return n.size() >= 4 && equalsIgnoreCase(n.substr(0, 4), "msys");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Table

Table::Table(Database& db, std::string name, uint32_t tdefPage)
    : db_(db), name_(std::move(name)), tdefPage_(tdefPage) {}

void Table::requirePresent() const {
    if (gone_)
        throwError(ErrorKind::NotFound,
                   "The table \"" + name_ + "\" no longer exists in \"" + db_.path() + "\"");
}

const TableDef& Table::def() {
    return *sharedDef();
}

std::shared_ptr<TableDef> Table::sharedDef() {
    requirePresent();
    if (!def_) def_ = std::make_shared<TableDef>(readTableDef(db_.pager(), tdefPage_));
    return def_;
}

const Table::ColumnRules& Table::columnRules() {
    if (rules_) return *rules_;
    const TableDef& t = def();
    ColumnRules r;
    r.required.assign(t.columns.size(), false);
    r.zeroLengthAllowed.assign(t.columns.size(), true);
    r.defaultValue.assign(t.columns.size(), std::u16string());
    if (tdefPage_ != fmt::kCatalogPage) {
        Table& objects = db_.systemCatalog();
        int cId = objects.columnIndex("Id"), cType = objects.columnIndex("Type"),
            cProp = objects.columnIndex("LvProp");
        if (cId >= 0 && cType >= 0 && cProp >= 0) {
            for (auto s = objects.scan(false); s.next();) {
                auto* id = std::get_if<int64_t>(&s.row()[size_t(cId)]);
                auto* type = std::get_if<int64_t>(&s.row()[size_t(cType)]);
                if (!id || !type || (*type & 0x7F) != fmt::kObjTable ||
                    (uint32_t(*id) & 0x00FFFFFF) != tdefPage_)
                    continue;
                Row full = objects.read(s.id());
                auto* blob = std::get_if<Blob>(&full[size_t(cProp)]);
                if (!blob || blob->empty()) break;
                try {
                    PropertyMap props = parseProperties(Bytes(blob->data(), blob->size()));
                    for (size_t i = 0; i < t.columns.size(); ++i) {
                        auto it = props.find(t.columns[i].name);
                        if (it == props.end()) continue;
                        if (auto p = it->second.find("Required"); p != it->second.end())
                            r.required[i] = p->second.asBool();
                        if (auto p = it->second.find("AllowZeroLength"); p != it->second.end())
                            r.zeroLengthAllowed[i] = p->second.asBool();
                        if (auto p = it->second.find("DefaultValue"); p != it->second.end())
                            r.defaultValue[i] = p->second.asText();
                    }
                } catch (const Error&) {
                    // A damaged property blob only loses these rules; the data stays readable.
                }
                break;
            }
        }
    }
    rules_ = std::move(r);
    return *rules_;
}

int Table::columnIndex(std::string_view name) {
    const auto& cols = def().columns;
    for (size_t i = 0; i < cols.size(); ++i)
        if (equalsIgnoreCase(cols[i].name, name)) return int(i);
    return -1;
}

std::vector<uint32_t> Table::dataPages() {
    const TableDef& t = def();
    return readUsageMap(db_.pager(), RowId::fromRaw(t.ownedMap));
}

namespace {

DataPage ownedDataPage(Pager& pager, uint32_t pgno, uint32_t tdef, const std::string& table) {
    DataPage dp(pager.get(pgno));
    if (dp.owner() != tdef)
        throwCorrupt(pgno, "a data page of table \"" + table + "\" belongs to another table (" +
                               std::to_string(dp.owner()) + ")");
    return dp;
}

}  // namespace

std::optional<RowId> Table::resolve(RowId id) {
    requirePresent();
    DataPage dp = ownedDataPage(db_.pager(), id.page, tdefPage_, name_);
    uint16_t raw = dp.rawOffset(id.row);
    if (raw & fmt::kRowDeleted) return std::nullopt;
    if (!(raw & fmt::kRowOverflow)) return id;
    RowId target = RowId::fromRaw(dp.row(id.row).u32(0));
    DataPage tp = ownedDataPage(db_.pager(), target.page, tdefPage_, name_);
    uint16_t traw = tp.rawOffset(target.row);
    if ((traw & 0xC000) == 0xC000 || (traw & 0xC000) == fmt::kRowOverflow)
        throwCorrupt(id.page, "row " + std::to_string(id.row) +
                                  " was moved to a slot that is deleted or moved again");
    return target;
}

Row Table::read(RowId id, bool withLongValues) {
    auto where = resolve(id);
    if (!where)
        throwError(ErrorKind::NotFound, "Row " + std::to_string(id.row) + " of page " +
                                            std::to_string(id.page) + " of table \"" + name_ +
                                            "\" has been deleted");
    DataPage dp(db_.pager().get(where->page));
    return decodeRow(def(), dp.row(where->row), withLongValues ? &db_.pager() : nullptr);
}

Table::Scan::Scan(Table& t, bool longValues) : table_(&t), longValues_(longValues) {
    pages_ = t.dataPages();
}

bool Table::Scan::next() {
    Pager& pager = table_->db_.pager();
    const TableDef& def = table_->def();
    for (;;) {
        if (!page_) {
            if (pageIdx_ >= pages_.size()) return false;
            page_ = ownedDataPage(pager, pages_[pageIdx_], table_->tdefPage_, table_->name_).page();
            slot_ = 0;
        }
        DataPage dp(*page_);
        if (slot_ >= dp.rowCount()) {
            page_.reset();
            ++pageIdx_;
            continue;
        }
        unsigned s = slot_++;
        RowId id{dp.no(), uint8_t(s)};
        uint16_t raw = dp.rawOffset(s);
        if (raw & fmt::kRowDeleted) continue;
        if (raw & fmt::kRowOverflow) {
            RowId where = *table_->resolve(id);
            target_ = pager.get(where.page);
            bytes_ = DataPage(target_).row(where.row);
        } else {
            bytes_ = dp.row(s);
        }
        id_ = id;
        row_ = decodeRow(def, bytes_, longValues_ ? &pager : nullptr);
        return true;
    }
}

std::vector<RowId> Table::findByIndex(const RealIndex& ix, const std::vector<Value>& values) {
    const TableDef& t = def();
    std::vector<uint8_t> key;
    for (size_t k = 0; k < ix.columns.size() && k < values.size(); ++k) {
        const Column* c = t.columnByNumber(ix.columns[k].column);
        if (appendColumnKey(*c, values[k], ix.columns[k].ascending, db_.generalSortOrder(), key) !=
            KeyStatus::Ok)
            return {};
    }
    return indexFind(db_.pager(), ix, key);
}

const RealIndex* Table::indexOn(std::string_view column) {
    const TableDef& t = def();
    const Column* c = t.column(column);
    if (!c) return nullptr;
    for (auto& ix : t.realIndexes)
        if (!ix.columns.empty() && ix.columns[0].column == c->number) return &ix;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Database

bool CatalogEntry::isSystem() const {
    return (flags & fmt::kObjSystemFlags) != 0 || startsWithMSys(name);
}

Database::Database(Env& env, std::unique_ptr<Env> owned, std::string path,
                   std::unique_ptr<File> file, bool writable, bool allowPassword)
    : ownedEnv_(std::move(owned)),
      env_(&env),
      path_(std::move(path)),
      allowPassword_(allowPassword) {
    pager_ = std::make_unique<Pager>(env, path_, std::move(file), writable);
}

Database::~Database() = default;

void Database::readHeader() {
    PageBuf page0{};
    File& f = pager_->file();
    size_t got = f.read(0, page0.data(), page0.size());
    header_ = Header::parse(std::span<const uint8_t>(page0.data(), got), f.size(), allowPassword_);
}

std::unique_ptr<Database> Database::open(const std::string& path, const OpenOptions& opt) {
    Env& env = opt.env ? *opt.env : Env::posix();
    if (!opt.writable) return openForReading(env, path, opt);

    ReadOnlyCause cause = ReadOnlyCause::None;
    std::string why;
    std::unique_ptr<File> file;
    std::unique_ptr<LockFile> lock;
    try {
        file = env.open(path, OpenMode::ReadWrite);
    } catch (const Error& e) {
        if (!e.permissionDenied()) throw;
        cause = ReadOnlyCause::FileReadOnly;
        why = std::string("the file may not be written (") + e.what() + ")";
    }
    if (file) {
        LockFile::Result r = LockFile::acquire(env, path);
        lock = std::move(r.lock);
        if (!lock) {
            cause = r.cause;
            why = r.why;
            file.reset();
        }
    }
    if (!lock) {
        const bool inUse = cause == ReadOnlyCause::InUseByThisProgram ||
                           cause == ReadOnlyCause::InUseByOtherProgram;
        if (!opt.readOnlyFallback)
            throwError(inUse ? ErrorKind::InUse : ErrorKind::Io,
                       "The database \"" + path + "\" " +
                           (inUse ? "is in use and cannot" : "cannot") +
                           " be opened for writing: " + why);
        auto db = openForReading(env, path, opt);
        db->readOnlyCause_ = cause;
        db->readOnlyReason_ = "The database \"" + path + "\" was opened for reading only: " + why;
        return db;
    }
    // An interrupted commit left its journal: put the file back before anything reads it. A
    // reader may be doing the same; the commit lock keeps us apart.
    if (env.exists(Pager::journalPath(path))) {
        WriteLock w(*file, path, opt.writeWait);
        w.acquire();
        Pager::recover(env, path, *file);
    }
    std::unique_ptr<Database> db(
        new Database(env, nullptr, path, std::move(file), true, opt.allowPassword));
    db->readHeader();
    db->pager_->setLockWait(opt.writeWait);
    db->lockFile_ = std::move(lock);
    db->noteOwnState();
    return db;
}

Database::OwnState Database::ownState() {
    OwnState s;
    File& f = pager_->file();
    s.stamp = f.stamp();
    // FNV-1a over the header page, the global usage map and the catalog's definition: what two
    // different banks of the same size and time would still differ in.
    uint64_t h = 1469598103934665603ull;
    PageBuf page;
    for (uint32_t no = 0; no < 3; ++no) {
        const size_t got = f.read(uint64_t(no) * fmt::kPageSize, page.data(), page.size());
        for (size_t i = 0; i < got; ++i) h = (h ^ page[i]) * 1099511628211ull;
        if (got < page.size()) break;
    }
    s.head = h;
    return s;
}

void Database::noteOwnState() {
    if (!writable() || ownedEnv_) return;
    try {
        own_ = ownState();
    } catch (const Error&) {
        // The file cannot be read back now; the state noted before stays, so the next write
        // is refused rather than made blind.
    }
}

bool Database::unchangedByOthers() {
    if (!own_) return true;
    const auto named = env_->stamp(path_);
    if (!named || !named->sameFile(pager_->file().stamp())) return false;
    return ownState() == *own_;
}

std::unique_ptr<Database> Database::openForReading(Env& env, const std::string& path,
                                                   const OpenOptions& opt) {
    std::unique_ptr<Database> db(
        new Database(env, nullptr, path, env.open(path, OpenMode::Read), false, opt.allowPassword));
    db->shared_ = true;
    db->readWait_ = opt.readWait;
    {
        // The first scope plays back an interrupted commit's journal and reads the header.
        ReadScope first(*db);
    }
    db->changed_ = false;
    return db;
}

std::unique_ptr<Database> Database::fromBytes(std::vector<uint8_t> bytes, bool writable,
                                              bool allowPassword) {
    auto env = std::make_unique<MemEnv>();
    const std::string path = "/memory.mdb";
    env->put(path, std::move(bytes));
    auto file = env->open(path, writable ? OpenMode::ReadWrite : OpenMode::Read);
    Env& e = *env;
    std::unique_ptr<Database> db(
        new Database(e, std::move(env), path, std::move(file), writable, allowPassword));
    db->readHeader();
    return db;
}

// ---------------------------------------------------------------------------------------------
// Reading beside other programs

Database::ReadScope::ReadScope(Database& db) : db_(db) {
    changed_ = db_.beginRead();
}

Database::ReadScope::~ReadScope() {
    db_.endRead();
}

bool Database::beginRead() {
    if (readDepth_ > 0 || !shared_) {
        if (readDepth_++ == 0) changed_ = false;
        return false;
    }
    bool changed = false;
    for (int round = 0;; ++round) {
        if (round > 20)
            throwError(ErrorKind::InUse, "The database \"" + path_ +
                                             "\" keeps being replaced or recovered by other "
                                             "programs; try again in a moment");
        File* f = &pager_->file();
        lockForReading(*f, readWait_, path_);
        try {
            // Another program died while it committed: play its journal back first. (A void
            // journal is a writer's between its commits.)
            if (Pager::journalIsLive(*env_, path_)) {
                unlockCommit(*f);
                f = nullptr;
                recoverAsReader();
                changed = true;
                continue;
            }
            const FileStamp now = f->stamp();
            // Compaction (or a copy) may have put another file at the path.
            auto named = env_->stamp(path_);
            if (named && !named->sameFile(now)) {
                unlockCommit(*f);
                f = nullptr;
                pager_ =
                    std::make_unique<Pager>(*env_, path_, env_->open(path_, OpenMode::Read), false);
                changed = true;
                continue;
            }
            if (!(now == stamp_)) changed = true;
            if (changed) {
                pager_->reload();
                readHeader();
                invalidate();
                followTables();
                stamp_ = now;
            }
        } catch (...) {
            if (f) unlockCommit(*f);
            throw;
        }
        break;
    }
    ++readDepth_;
    changed_ = changed;
    return changed;
}

void Database::endRead() {
    if (readDepth_ == 0) return;
    if (--readDepth_ == 0 && shared_) unlockCommit(pager_->file());
}

bool Database::recoverAsReader() {
    std::unique_ptr<File> rw;
    try {
        rw = env_->open(path_, OpenMode::ReadWrite);
    } catch (const Error& e) {
        throwError(ErrorKind::Io, "The database \"" + path_ +
                                      "\" must be recovered from an interrupted write, but it "
                                      "cannot be opened for writing: " +
                                      e.what());
    }
    WriteLock w(*rw, path_, readWait_);
    w.acquire();
    return Pager::recover(*env_, path_, *rw, /*keepVoid=*/true);
}

void Database::followTables() {
    bool any = false;
    for (auto& [pg, t] : tables_) any = any || pg != fmt::kCatalogPage;
    if (!any) return;
    // Where each table lives now, by name; read before anything moves, so a failure here leaves
    // the map as it was.
    std::vector<std::pair<Table*, std::optional<uint32_t>>> moves;
    const auto& cat = catalog();
    for (auto& [pg, t] : tables_) {
        if (pg == fmt::kCatalogPage) continue;
        std::optional<uint32_t> to;
        for (auto& e : cat) {
            if (!e.isTable() || !equalsIgnoreCase(e.name, t->name())) continue;
            if (e.tdefPage() >= 3) to = e.tdefPage();
            break;
        }
        moves.push_back({t.get(), to});
    }
    std::map<uint32_t, std::unique_ptr<Table>> next;
    for (auto& [pg, t] : tables_) {
        if (pg == fmt::kCatalogPage) next[pg] = std::move(t);
    }
    for (auto& [pg, t] : tables_) {
        if (!t) continue;
        Table* raw = t.get();
        auto it =
            std::find_if(moves.begin(), moves.end(), [&](const auto& m) { return m.first == raw; });
        if (it->second && !next.count(*it->second)) {
            t->tdefPage_ = *it->second;
            next[*it->second] = std::move(t);
        } else {
            t->gone_ = true;
            goneTables_.push_back(std::move(t));
        }
    }
    tables_ = std::move(next);
}

Table& Database::systemCatalog() {
    auto& slot = tables_[fmt::kCatalogPage];
    if (!slot) slot = std::make_unique<Table>(*this, "MSysObjects", fmt::kCatalogPage);
    return *slot;
}

const std::vector<CatalogEntry>& Database::catalog() {
    if (catalog_) return *catalog_;
    Table& t = systemCatalog();
    const char* names[] = {"Id", "ParentId", "Name", "Type", "Flags"};
    int idx[5];
    for (int k = 0; k < 5; ++k) {
        idx[k] = t.columnIndex(names[k]);
        if (idx[k] < 0)
            throwCorrupt(
                fmt::kCatalogPage,
                std::string("the catalog (MSysObjects) has no column \"") + names[k] + "\"");
    }
    std::vector<CatalogEntry> out;
    auto asInt = [](const Value& v) -> int64_t {
        return std::holds_alternative<int64_t>(v) ? std::get<int64_t>(v) : 0;
    };
    for (auto s = t.scan(false); s.next();) {
        const Row& r = s.row();
        CatalogEntry e;
        e.id = int32_t(asInt(r[size_t(idx[0])]));
        e.parentId = int32_t(asInt(r[size_t(idx[1])]));
        if (auto* n = std::get_if<std::u16string>(&r[size_t(idx[2])])) e.name = toUtf8(*n);
        e.type = int16_t(asInt(r[size_t(idx[3])]));
        e.flags = uint32_t(asInt(r[size_t(idx[4])]));
        out.push_back(std::move(e));
    }
    catalog_ = std::move(out);
    return *catalog_;
}

std::vector<std::string> Database::tableNames(TableKind kind) {
    std::vector<std::string> out;
    for (auto& e : catalog()) {
        if (!e.isTable()) continue;
        if (kind == TableKind::User && e.isSystem()) continue;
        if (kind == TableKind::System && !e.isSystem()) continue;
        out.push_back(e.name);
    }
    std::sort(out.begin(), out.end(),
              [](const std::string& a, const std::string& b) { return fromUtf8(a) < fromUtf8(b); });
    return out;
}

bool Database::hasTable(std::string_view name) {
    for (auto& e : catalog())
        if (e.isTable() && equalsIgnoreCase(e.name, name)) return true;
    return false;
}

Table& Database::table(std::string_view name) {
    for (auto& e : catalog()) {
        if (!e.isTable() || !equalsIgnoreCase(e.name, name)) continue;
        uint32_t pg = e.tdefPage();
        if (pg < 3 && pg != fmt::kCatalogPage)
            throwCorrupt(fmt::kCatalogPage, "table \"" + e.name +
                                                "\" has an impossible definition "
                                                "page " +
                                                std::to_string(pg));
        auto& slot = tables_[pg];
        if (!slot) slot = std::make_unique<Table>(*this, e.name, pg);
        return *slot;
    }
    throwError(ErrorKind::NotFound,
               "The table \"" + std::string(name) + "\" does not exist in \"" + path_ + "\"");
}

void Database::invalidate() {
    catalog_.reset();
    relations_.reset();
    for (auto& [pg, t] : tables_) t->invalidateAll();
}

}  // namespace jet
