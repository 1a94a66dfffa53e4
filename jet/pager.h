// The page cache. Pages are read on demand through the file layer and kept while memory allows.
// Writes happen only inside a transaction: modify() makes a private copy of a page, commit()
// writes a rollback journal of the original images beside the file, syncs it, writes the new
// pages, syncs the file and makes the journal's header void (synced too): three syncs a commit.
// The journal file itself stays until the pager closes, so it is created, and its name made
// durable, once. A live journal found at open time means a commit was interrupted; the pager
// then puts the original images back before anything reads the file.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "jet/bytes.h"
#include "jet/file.h"
#include "jet/format.h"

namespace jet {

using PageBuf = std::array<uint8_t, fmt::kPageSize>;

// What one commit changed: the original images of the pages it overwrote (only pages that
// existed before it), the images it wrote (every changed or added page) and the page counts
// before and after. Putting `before` back with `oldPageCount` gives the file as it was before the
// commit, byte for byte; `after` with `newPageCount` gives it as the commit left it.
using PageImages = std::map<uint32_t, std::shared_ptr<const PageBuf>>;
struct CommitImages {
    PageImages before;
    PageImages after;
    uint32_t oldPageCount = 0;
    uint32_t newPageCount = 0;
};

// A page as read (or as modified in the open transaction). Holding a Page keeps its bytes alive,
// but after a later modify() of the same page number it no longer shows the current contents.
struct Page {
    uint32_t no = 0;
    std::shared_ptr<const PageBuf> buf;
    Bytes bytes() const { return Bytes(buf->data(), buf->size(), no); }
    uint8_t type() const { return (*buf)[0]; }
};

class Pager {
  public:
    // `file` is already open; `path` names it (for the journal). For a writable pager the caller
    // holds the database's lock file (no other writer); commit() takes the commit lock itself.
    Pager(Env& env, std::string path, std::unique_ptr<File> file, bool writable);
    ~Pager();
    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    // Path of the rollback journal of the database at `dbPath`.
    static std::string journalPath(const std::string& dbPath) { return dbPath + "-journal"; }
    // Puts back the original pages from a complete journal and removes it; removes an
    // incomplete one (the file was not touched then). A void journal is removed too, unless
    // `keepVoid`: a reader passes that, as the void journal may belong to a writer that is still
    // running and will write its next commit's journal into it. Returns true when pages were
    // restored.
    // REQUIRES: `file` is open for writing and the commit lock is held.
    static bool recover(Env& env, const std::string& dbPath, File& file, bool keepVoid = false);
    // Whether the journal beside `dbPath` may hold a transaction to undo: its header is not
    // void. A void journal belongs to a writer between commits, or one that ended without
    // removing it; it never needs playing back.
    static bool journalIsLive(Env& env, const std::string& dbPath);

    bool writable() const { return writable_; }
    uint32_t pageCount() const { return pageCount_; }
    const std::string& path() const { return path_; }
    File& file() { return *file_; }

    // How long commit() waits for other programs' reads to end before it gives up (InUse, the
    // transaction rolled back and the file untouched).
    void setLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }
    // Another program changed the file: drops every cached page and derived object and reads the
    // page count again. REQUIRES: no open transaction.
    void reload();

    // REQUIRES: pgno < pageCount(); otherwise a corruption error naming `pgno` is thrown.
    Page get(uint32_t pgno);

    bool inTransaction() const { return inTxn_; }
    // Without a journal, commit() writes the pages directly: for a new file that is thrown away
    // when anything fails (compaction's destination).
    void setJournaling(bool on) { journaling_ = on; }
    size_t dirtyCount() const { return dirty_.size(); }
    void begin();
    // Mutable bytes of a page for the open transaction.
    PageBuf& modify(uint32_t pgno);
    // A new zeroed page at the end of the file (in the open transaction).
    uint32_t append();
    void commit();
    void rollback();

    // Makes the open transaction put `images` in place and give the file `pageCount` pages: the
    // file may shrink (the pages cut off go into the journal, so an interrupted commit puts
    // them back) or grow (then every added page must be among the images). Nothing else may
    // have been changed in the transaction. REQUIRES: an open transaction; every image's page
    // number below `pageCount`.
    void restoreImages(const PageImages& images, uint32_t pageCount);

    // With `on`, each successful commit keeps what it changed for takeLastCommit(); off by
    // default (a commit then keeps nothing).
    void setKeepCommitImages(bool on) { keepImages_ = on; }
    // What the last successful commit changed (empty maps when it changed nothing or images
    // are not kept); hands it over.
    CommitImages takeLastCommit() { return std::exchange(lastCommit_, CommitImages{}); }

    // Savepoints inside the open transaction, nested: rollbackToSavepoint() undoes every page
    // change made since the matching beginSavepoint() and keeps the earlier ones, so a failed
    // write leaves no trace in a larger transaction (nor a failed step in a larger write).
    // releaseSavepoint() keeps the changes; an enclosing savepoint can still undo them. The
    // pages' previous contents are kept only for pages changed while a savepoint is active.
    void beginSavepoint();
    void releaseSavepoint();
    void rollbackToSavepoint();

    // Objects derived from a page's bytes (parsed index pages, the slot layout of data pages),
    // kept until the page changes: modify() drops them, and whoever changes a page in step with
    // its object puts the object back. `kind` says what the object is (a page may be asked for
    // as something it is not); `bytes` is what it holds, so the cache stays small whatever a
    // page expands to.
    enum class Derived : uint8_t { IndexPage, SlotLayout };
    std::shared_ptr<const void> derived(uint32_t pgno, Derived kind) const {
        return derived_.get(pgno, kind);
    }
    void setDerived(uint32_t pgno, Derived kind, std::shared_ptr<const void> obj, size_t bytes) {
        derived_.put(pgno, kind, std::move(obj), bytes);
    }

    // Pages the global map marks free that hold someone else's old contents: never reused.
    std::set<uint32_t> notReusable;

    // Test hooks: called before each file write of a commit with a running write counter, so
    // tests can make the k-th write fail or kill the process at a chosen moment. Pages count
    // one each; a run of consecutive pages is written once the hook has passed all of them.
    std::function<void(int writeNo)> beforeWrite;

  private:
    void writeJournal(const std::string& jpath);
    void dropJournal();
    void countWrite();

    Env& env_;
    std::string path_;
    std::unique_ptr<File> file_;
    bool writable_;
    uint32_t pageCount_ = 0;       // including pages appended in the open transaction
    uint32_t committedPages_ = 0;  // page count on disk
    std::unordered_map<uint32_t, std::shared_ptr<const PageBuf>> cache_;
    class DerivedCache {
      public:
        std::shared_ptr<const void> get(uint32_t pgno, Derived kind) const {
            auto it = items_.find(pgno);
            return it == items_.end() || it->second.kind != kind ? nullptr : it->second.obj;
        }
        void put(uint32_t pgno, Derived kind, std::shared_ptr<const void> obj, size_t bytes) {
            erase(pgno);
            if (bytes > kMaxBytes) return;
            if (bytes_ + bytes > kMaxBytes || (items_.size() >= kMaxItems && !items_.count(pgno)))
                clear();
            items_[pgno] = {std::move(obj), bytes, kind};
            bytes_ += bytes;
        }
        // Keeps the slot (the page's object usually comes back soon, after a change).
        void erase(uint32_t pgno) {
            auto it = items_.find(pgno);
            if (it == items_.end()) return;
            bytes_ -= it->second.bytes;
            it->second = Item{};
        }
        void clear() {
            items_.clear();
            bytes_ = 0;
        }

      private:
        static constexpr size_t kMaxItems = 32768;
        static constexpr size_t kMaxBytes = size_t(64) << 20;
        struct Item {
            std::shared_ptr<const void> obj;
            size_t bytes = 0;
            Derived kind = Derived::IndexPage;
        };
        std::unordered_map<uint32_t, Item> items_;
        size_t bytes_ = 0;
    };
    DerivedCache derived_;
    bool inTxn_ = false;
    // Hashed: looked up on every page access of a write; commit() sorts it to write in page
    // order.
    std::unordered_map<uint32_t, std::shared_ptr<PageBuf>> dirty_;
    std::map<uint32_t, std::shared_ptr<const PageBuf>> originals_;
    bool journaling_ = true;
    bool keepImages_ = false;
    CommitImages lastCommit_;
    // The journal file, open from the first commit on. Between commits its header is void.
    std::unique_ptr<File> journal_;
    uint64_t journalSize_ = 0;
    bool journalLive_ = false;  // its header is valid: the next open would play it back
    bool unrestored_ = false;   // a failed commit could not be undone: the journal must stay
    std::chrono::milliseconds lockWait_{5000};
    struct Savepoint {
        std::map<uint32_t, std::shared_ptr<PageBuf>> undo;  // nullptr: the page was not dirty
        uint32_t pageCount = 0;
    };
    std::vector<Savepoint> savepoints_;  // innermost last
    // Page images of released savepoints, kept for the next ones: every write of a transaction
    // saves the pages it changes, and allocating 4 KB each time costs more than the copy.
    std::shared_ptr<PageBuf> imageOf(const PageBuf& page);
    void recycle(std::shared_ptr<PageBuf> image);
    static constexpr size_t kMaxSpareImages = 64;
    std::vector<std::shared_ptr<PageBuf>> spare_;
    int writeNo_ = 0;
};

}  // namespace jet
