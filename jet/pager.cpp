// Page cache, transactions and the rollback journal.
//
// Journal layout (little-endian):
//   0  8   magic "ZNJRNL01"
//   8  4   page size
//   12 8   file size before the transaction
//   20 4   number of page records
//   24 8   checksum (FNV-1a 64) of bytes 0..23 and of every record
//   32     records: u32 page number, then the page's original 4096 bytes
// The journal is complete when its checksum matches; only a complete journal is played back.
// A commit ends by zeroing the magic: the file stays, void, for the next commit to overwrite.
#include "jet/pager.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/locking.h"

namespace jet {

namespace {

constexpr char kJournalMagic[8] = {'Z', 'N', 'J', 'R', 'N', 'L', '0', '1'};
constexpr size_t kJournalHeader = 32;
constexpr size_t kJournalRecord = 4 + fmt::kPageSize;
constexpr size_t kMaxCachedPages = 16384;  // 64 MB of clean pages
constexpr size_t kMaxWriteRun = 256;       // pages in one gathered write of a commit: 1 MB

struct Fnv {
    uint64_t h = 1469598103934665603ull;
    void add(const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            h ^= p[i];
            h *= 1099511628211ull;
        }
    }
};

}  // namespace

Pager::Pager(Env& env, std::string path, std::unique_ptr<File> file, bool writable)
    : env_(env), path_(std::move(path)), file_(std::move(file)), writable_(writable) {
    uint64_t size = file_->size();
    if (size / fmt::kPageSize > 0x7FFFFFFF)
        throwError(ErrorKind::Unsupported, "The database file is larger than Jet allows");
    pageCount_ = committedPages_ = uint32_t(size / fmt::kPageSize);
}

Pager::~Pager() {
    if (inTxn_) {
        try {
            rollback();
        } catch (...) {
        }
    }
    // A void journal goes with the pager. Its name need not be durably gone: should a power loss
    // bring it back, the next open finds a void header and removes it without playing anything.
    // A live one (a commit that failed and could not put the file back) stays for that open.
    if (journal_ && !journalLive_) {
        try {
            dropJournal();
        } catch (...) {
        }
    }
}

Page Pager::get(uint32_t pgno) {
    if (pgno >= pageCount_)
        throwCorrupt(pgno, "reference to page " + std::to_string(pgno) +
                               " beyond the end of the "
                               "file (" +
                               std::to_string(pageCount_) + " pages)");
    if (inTxn_) {
        if (auto it = dirty_.find(pgno); it != dirty_.end()) return Page{pgno, it->second};
    }
    if (auto it = cache_.find(pgno); it != cache_.end()) return Page{pgno, it->second};
    auto buf = std::make_shared<PageBuf>();
    size_t got = file_->read(uint64_t(pgno) * fmt::kPageSize, buf->data(), buf->size());
    if (got != buf->size()) throwCorrupt(pgno, "the file ends inside the page");
    if (cache_.size() >= kMaxCachedPages) cache_.clear();
    cache_[pgno] = buf;
    return Page{pgno, buf};
}

void Pager::begin() {
    if (!writable_) throwError(ErrorKind::ReadOnly, "The database is open for reading only");
    if (inTxn_) throwError(ErrorKind::Usage, "A transaction is already open");
    if (unrestored_)
        throwError(ErrorKind::Io, "A failed write to \"" + path_ +
                                      "\" could not be undone; close the database and open it "
                                      "again to restore it from its journal");
    inTxn_ = true;
    savepoints_.clear();
    writeNo_ = 0;
}

PageBuf& Pager::modify(uint32_t pgno) {
    if (!inTxn_) throwError(ErrorKind::Usage, "Pages can only be changed inside a transaction");
    derived_.erase(pgno);
    auto it = dirty_.find(pgno);
    if (!savepoints_.empty()) {
        auto& undo = savepoints_.back().undo;
        if (undo.find(pgno) == undo.end())
            undo.emplace(pgno, it != dirty_.end() ? imageOf(*it->second) : nullptr);
    }
    if (it != dirty_.end()) return *it->second;
    Page p = get(pgno);
    auto copy = std::make_shared<PageBuf>(*p.buf);
    if (pgno < committedPages_) originals_[pgno] = p.buf;
    dirty_[pgno] = copy;
    return *copy;
}

uint32_t Pager::append() {
    if (!inTxn_) throwError(ErrorKind::Usage, "Pages can only be added inside a transaction");
    if (pageCount_ >= (uint32_t(1) << 31) / fmt::kPageSize)  // Jet's 2 GB limit
        throwError(ErrorKind::Constraint, "The database has reached its maximum size of 2 GB");
    uint32_t pgno = pageCount_++;
    derived_.erase(pgno);
    if (!savepoints_.empty()) savepoints_.back().undo.emplace(pgno, nullptr);
    dirty_[pgno] = std::make_shared<PageBuf>();
    return pgno;
}

void Pager::countWrite() {
    ++writeNo_;
    if (beforeWrite) beforeWrite(writeNo_);
}

void Pager::writeJournal(const std::string& jpath) {
    std::vector<uint8_t> buf(kJournalHeader + originals_.size() * kJournalRecord);
    std::memcpy(buf.data(), kJournalMagic, 8);
    putU32(buf.data() + 8, uint32_t(fmt::kPageSize));
    putU64(buf.data() + 12, uint64_t(committedPages_) * fmt::kPageSize);
    putU32(buf.data() + 20, uint32_t(originals_.size()));
    size_t at = kJournalHeader;
    for (auto& [no, page] : originals_) {
        putU32(buf.data() + at, no);
        std::memcpy(buf.data() + at + 4, page->data(), fmt::kPageSize);
        at += kJournalRecord;
    }
    Fnv f;
    f.add(buf.data(), 24);
    f.add(buf.data() + kJournalHeader, buf.size() - kJournalHeader);
    putU64(buf.data() + 24, f.h);
    // The journal file stays for the life of the pager (its header made void after each commit),
    // so its directory entry is made durable once, when it is created.
    const bool created = !journal_;
    if (created) {
        journal_ = env_.open(jpath, OpenMode::Create);
        journalSize_ = 0;
    }
    journalLive_ = true;
    countWrite();
    journal_->write(0, buf.data(), buf.size());
    if (journalSize_ > buf.size()) journal_->truncate(buf.size());
    journalSize_ = buf.size();
    // fsync 1 of 3: the original pages are on disk before any page of the file is overwritten,
    // or a power loss in the middle of the page writes would leave a torn file and nothing to
    // undo it.
    journal_->sync();
    // Folder sync, once per journal file: fsync makes a file's contents durable, not the
    // directory entry that finds it (POSIX promises no more, and file systems differ). A journal
    // whose name a power loss takes away cannot roll anything back.
    if (created) env_.syncDirOf(jpath);
}

void Pager::dropJournal() {
    journal_.reset();
    journalSize_ = 0;
    journalLive_ = false;
    env_.remove(journalPath(path_));
}

void Pager::commit() {
    if (!inTxn_) throwError(ErrorKind::Usage, "No transaction is open");
    if (dirty_.empty() && pageCount_ == committedPages_) {
        lastCommit_ = CommitImages{};
        savepoints_.clear();
        inTxn_ = false;
        return;
    }
    const std::string jpath = journalPath(path_);
    bool fileTouched = false;
    // Readers in other programs wait while the journal and the pages are written; the lock is
    // released when this function returns, after the file is whole again whatever happened.
    WriteLock lock(*file_, path_, lockWait_);
    try {
        lock.acquire();
        if (journaling_) writeJournal(jpath);
        fileTouched = true;
        // In page order; runs of consecutive pages go in one gathered write each (the test hook
        // still counts pages: a run goes out once the hook has passed all of its pages).
        std::vector<std::pair<uint32_t, const PageBuf*>> pages;
        pages.reserve(dirty_.size());
        for (auto& [no, page] : dirty_) pages.emplace_back(no, page.get());
        std::sort(pages.begin(), pages.end());
        std::vector<std::span<const uint8_t>> run;
        for (size_t i = 0; i < pages.size();) {
            const uint32_t first = pages[i].first;
            run.clear();
            while (i < pages.size() && pages[i].first == first + run.size() &&
                   run.size() < kMaxWriteRun) {
                countWrite();
                run.emplace_back(pages[i++].second->data(), fmt::kPageSize);
            }
            file_->writeParts(uint64_t(first) * fmt::kPageSize, run);
        }
        // A transaction that gives pages back (an undo of one that added them) cuts the file;
        // the journal holds every page cut off.
        if (pageCount_ < committedPages_) file_->truncate(uint64_t(pageCount_) * fmt::kPageSize);
        countWrite();
        // fsync 2 of 3: the transaction is in the file before the journal that undoes it goes
        // void.
        file_->sync();
        // Making the journal's header void is the commit point: from here on the journal is
        // never played back. A header that cannot be written would undo the transaction at the
        // next open, so that is a failure like any other.
        if (journaling_) {
            countWrite();
            static const uint8_t kVoid[sizeof kJournalMagic] = {};
            journal_->write(0, kVoid, sizeof kVoid);
            journalLive_ = false;
        }
    } catch (...) {
        // Put the file back as it was. If that fails too, the journal stays and the next open
        // restores the file from it.
        try {
            if (fileTouched) {
                for (auto& [no, page] : originals_)
                    file_->write(uint64_t(no) * fmt::kPageSize, page->data(), page->size());
                file_->truncate(uint64_t(committedPages_) * fmt::kPageSize);
                file_->sync();
            }
            if (journaling_) dropJournal();
        } catch (...) {
            // The journal stays live and is the only way back: the next commit must not write
            // over it, so this pager writes nothing more.
            unrestored_ = true;
        }
        dirty_.clear();
        originals_.clear();
        savepoints_.clear();
        cache_.clear();
        derived_.clear();
        pageCount_ = committedPages_;
        inTxn_ = false;
        throw;
    }
    // fsync 3 of 3: make the void header durable, so that a power loss cannot bring the journal
    // back to life and undo the commit.
    try {
        if (journaling_) journal_->sync();
    } catch (const Error&) {
        // The commit stands; at worst a power loss now brings the journal back and the next
        // open rolls this transaction back, which still leaves a consistent file.
    }
    for (auto& [no, page] : dirty_) cache_[no] = page;
    for (uint32_t no = pageCount_; no < committedPages_; ++no) cache_.erase(no);
    lastCommit_ = CommitImages{};
    if (keepImages_) {
        lastCommit_.before.insert(originals_.begin(), originals_.end());
        for (auto& [no, page] : dirty_) lastCommit_.after.emplace(no, page);
        lastCommit_.oldPageCount = committedPages_;
        lastCommit_.newPageCount = pageCount_;
    }
    committedPages_ = pageCount_;
    dirty_.clear();
    originals_.clear();
    savepoints_.clear();
    inTxn_ = false;
}

void Pager::restoreImages(const PageImages& images, uint32_t pageCount) {
    if (!inTxn_) throwError(ErrorKind::Usage, "Pages can only be restored inside a transaction");
    if (!dirty_.empty() || pageCount_ != committedPages_)
        throwError(ErrorKind::Usage, "Pages are restored by a transaction of their own");
    if (pageCount == 0 || pageCount > (uint32_t(1) << 31) / fmt::kPageSize)
        throwError(ErrorKind::Usage, "A restored file needs between 1 page and 2 GB");
    for (auto& [no, img] : images)
        if (no >= pageCount || !img)
            throwError(ErrorKind::Usage, "A restored page lies past the restored file's end");
    for (uint32_t no = committedPages_; no < pageCount; ++no)
        if (!images.count(no))
            throwError(ErrorKind::Usage, "A restored file that grows needs every added page (" +
                                             std::to_string(no) + " is missing)");
    derived_.clear();
    savepoints_.clear();
    // The pages cut off go into the journal like any page the transaction overwrites.
    for (uint32_t no = pageCount; no < committedPages_; ++no) originals_[no] = get(no).buf;
    for (auto& [no, img] : images) {
        if (no < committedPages_ && !originals_.count(no)) originals_[no] = get(no).buf;
        dirty_[no] = std::make_shared<PageBuf>(*img);
    }
    pageCount_ = pageCount;
}

void Pager::beginSavepoint() {
    if (!inTxn_) throwError(ErrorKind::Usage, "Savepoints need an open transaction");
    savepoints_.push_back({{}, pageCount_});
}

void Pager::releaseSavepoint() {
    if (savepoints_.empty()) return;
    Savepoint inner = std::move(savepoints_.back());
    savepoints_.pop_back();
    // The enclosing savepoint keeps its own, older image of a page both changed.
    for (auto& [no, saved] : inner.undo) {
        if (!savepoints_.empty() && savepoints_.back().undo.emplace(no, saved).second) continue;
        recycle(std::move(saved));
    }
}

std::shared_ptr<PageBuf> Pager::imageOf(const PageBuf& page) {
    if (spare_.empty()) return std::make_shared<PageBuf>(page);
    std::shared_ptr<PageBuf> out = std::move(spare_.back());
    spare_.pop_back();
    *out = page;
    return out;
}

void Pager::recycle(std::shared_ptr<PageBuf> image) {
    if (image && image.use_count() == 1 && spare_.size() < kMaxSpareImages)
        spare_.push_back(std::move(image));
}

void Pager::rollbackToSavepoint() {
    if (savepoints_.empty()) return;
    derived_.clear();
    for (auto& [no, saved] : savepoints_.back().undo) {
        if (saved) {
            dirty_[no] = saved;
        } else {
            dirty_.erase(no);
            originals_.erase(no);
        }
    }
    pageCount_ = savepoints_.back().pageCount;
    savepoints_.pop_back();
}

void Pager::rollback() {
    if (!inTxn_) return;
    derived_.clear();
    dirty_.clear();
    originals_.clear();
    savepoints_.clear();
    pageCount_ = committedPages_;
    inTxn_ = false;
}

bool Pager::journalIsLive(Env& env, const std::string& dbPath) {
    std::unique_ptr<File> j;
    try {
        j = env.open(journalPath(dbPath), OpenMode::Read);
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::NotFound) return false;
        throw;
    }
    uint8_t magic[sizeof kJournalMagic] = {};
    return j->read(0, magic, sizeof magic) == sizeof magic &&
           std::memcmp(magic, kJournalMagic, sizeof magic) == 0;
}

void Pager::reload() {
    if (inTxn_) throwError(ErrorKind::Usage, "The file cannot be reloaded inside a transaction");
    cache_.clear();
    derived_.clear();
    notReusable.clear();
    uint64_t size = file_->size();
    if (size / fmt::kPageSize > 0x7FFFFFFF)
        throwError(ErrorKind::Unsupported, "The database file is larger than Jet allows");
    pageCount_ = committedPages_ = uint32_t(size / fmt::kPageSize);
}

bool Pager::recover(Env& env, const std::string& dbPath, File& file, bool keepVoid) {
    const std::string jpath = journalPath(dbPath);
    if (!env.exists(jpath)) return false;
    if (keepVoid && !journalIsLive(env, dbPath)) return false;
    std::vector<uint8_t> buf;
    {
        auto j = env.open(jpath, OpenMode::Read);
        uint64_t size = j->size();
        // A journal holds at most one image of every page of the file it protects: of the file
        // as it is, or as it was before a transaction that cut it (its header says how large).
        uint64_t protectedSize = file.size();
        uint8_t head[kJournalHeader] = {};
        if (j->read(0, head, sizeof head) == sizeof head) {
            const uint64_t old = Bytes(head, sizeof head).u64(12);
            if (old <= (uint64_t(1) << 31)) protectedSize = std::max(protectedSize, old);
        }
        if (size > kJournalHeader + (protectedSize / fmt::kPageSize + 1) * kJournalRecord) size = 0;
        buf.resize(size);
        if (j->read(0, buf.data(), buf.size()) != buf.size()) buf.clear();
    }
    bool complete = false;
    uint32_t count = 0;
    uint64_t origSize = 0;
    if (buf.size() >= kJournalHeader && std::memcmp(buf.data(), kJournalMagic, 8) == 0) {
        Bytes b(buf.data(), buf.size());
        count = b.u32(20);
        origSize = b.u64(12);
        if (b.u32(8) == fmt::kPageSize &&
            uint64_t(count) * kJournalRecord == buf.size() - kJournalHeader) {
            Fnv f;
            f.add(buf.data(), 24);
            f.add(buf.data() + kJournalHeader, buf.size() - kJournalHeader);
            complete = f.h == b.u64(24);
        }
    }
    // A journal we wrote never names a page past the file's old end, and a size larger than
    // the file now has only when its transaction cut the file: then it holds every page from
    // the file's present end to the old one. Anything else did not come from us and is not
    // played back.
    if (complete && origSize % fmt::kPageSize != 0) complete = false;
    std::set<uint32_t> named;
    for (uint32_t i = 0; complete && i < count; ++i) {
        const uint8_t* rec = buf.data() + kJournalHeader + size_t(i) * kJournalRecord;
        const uint32_t no = Bytes(rec, 4).u32(0);
        if (uint64_t(no) >= origSize / fmt::kPageSize) complete = false;
        named.insert(no);
    }
    if (complete && origSize > file.size()) {
        for (uint64_t no = file.size() / fmt::kPageSize; no < origSize / fmt::kPageSize; ++no)
            if (!named.count(uint32_t(no))) complete = false;
    }
    if (complete) {
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* rec = buf.data() + kJournalHeader + size_t(i) * kJournalRecord;
            uint32_t no = Bytes(rec, 4).u32(0);
            file.write(uint64_t(no) * fmt::kPageSize, rec + 4, fmt::kPageSize);
        }
        file.truncate(origSize);
        file.sync();
    }
    env.remove(jpath);
    env.syncDirOf(jpath);
    return complete;
}

}  // namespace jet
