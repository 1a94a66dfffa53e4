// The undo history of the open database: one entry per command that changed the file, newest
// last, with a position that undo moves back and redo forward.
//
// An ordinary command is one commit of the engine; its entry holds the pages' images before and
// after it (from the engine's commit observer) and the page counts, so undo and redo put the
// file back byte for byte, each as one journaled transaction of the engine. The images live in
// a hidden side folder next to the database (".<file>-undo"), appended as checksummed records;
// memory holds only where they are. A command that replaces the file (import, delete all,
// compaction, restoring a backup) is a file command: its entry holds a copy of the file before it
// and one after it in the same folder, and undo and redo put the whole file back (copied beside it,
// synced, renamed over it, the folder synced; the connection closed and opened again).
//
// The history is dropped (entries forgotten, the side folder removed) when the database is
// switched, when the data module goes (program end), and when the file is not the one our last
// command left: its stamp (device, inode, size, modification time) differs, because another
// program wrote it or put another file at the path. Dropping never touches the database. A side
// folder left by a program that died is removed when the database is opened again, and so are
// the temporary copies ("<file>.restoring", "<file>.restore-source") of a replacement it did
// not finish (the file itself is whole: a replacement is a rename). A side file
// that cannot be read back whole (checksums) drops the history too.
//
// Not thread-safe; owned by the data module.
#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"

namespace zn {

class UndoHistory {
  public:
    // At least this many commands can be undone.
    static constexpr int kMaxEntries = 30;

    UndoHistory() = default;
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // The folder that holds the history of the database at `dbPath`.
    // Hidden (its name begins with a dot), so that file dialogs do not offer it.
    static std::string sideFolder(const std::string& dbPath) {
        const size_t slash = dbPath.find_last_of('/');
        const size_t name = slash == std::string::npos ? 0 : slash + 1;
        return dbPath.substr(0, name) + "." + dbPath.substr(name) + "-undo";
    }

    // Off: nothing is recorded (a command-line tool); the side folder is removed.
    void setEnabled(bool on);
    bool enabled() const { return enabled_; }

    // A database was opened: the same file as before (a reopening after compaction) keeps the
    // history; another path starts a new one (the old one is dropped, and a leftover side
    // folder of that file removed). A database opened for reading has none. Installs the
    // commit observer that records every commit as an entry.
    void attach(jet::Database& db);
    // Forgets every entry and removes the side folder.
    void drop();

    // The label the next entry gets (Russian, e.g. "удаление темы 3"); the data module sets it
    // when the outermost write scope begins. An entry without one is "изменение базы".
    void setPendingLabel(const QString& label) { pendingLabel_ = label; }
    // Called when a command begins: when the file is no longer the one our last command left,
    // the history is dropped (undo would not give what the person expects).
    void checkFileUnchanged();

    bool canUndo() const { return pos_ > 0; }
    bool canRedo() const { return pos_ < entries_.size(); }
    // Labels of the entry undo and redo would apply; empty when there is none.
    QString undoLabel() const;
    QString redoLabel() const;
    int size() const { return int(entries_.size()); }

    // What undo or redo did.
    struct Step {
        QString why;                   // Russian: why nothing was done; empty when it was
        bool pagesRestored = false;    // pages were put back (or tried): what was read is stale
        bool changedByOthers = false;  // another program changed the file: the history is gone
    };
    // Runs `work` (which replaces the database's file) while the database is closed: the owner
    // closes it, runs the work and opens it again, also when the work throws.
    using WhileClosed = std::function<void(const std::function<void()>& work)>;
    // Undoes the newest applied entry / redoes the next one on `db`, the open database: page
    // entries as one transaction of the engine, file entries by putting the whole file back
    // through `whileClosed`. When the file changed behind our back the history is dropped, the
    // file is left alone and `why` says so. Errors of the engine or the file system (the file
    // cannot be written) propagate: nothing landed and the history stays as it was.
    // REQUIRES: no transaction is open in `db`.
    Step undo(jet::Database& db, const WhileClosed& whileClosed);
    Step redo(jet::Database& db, const WhileClosed& whileClosed);

    // A command that replaces the file: begin before it (copies the file as it is), end after
    // it once the connection is open again (copies the file as it is then and adds the entry
    // when the file changed). Commits in between are not recorded on their own. Without end()
    // (the command failed before it changed the file) the copy is thrown away by the next
    // begin or drop.
    void beginFileCommand(const QString& label, const std::string& dbPath);
    void endFileCommand();
    void abandonFileCommand();
    bool inFileCommand() const { return fileCommand_.has_value(); }

    // Called whenever what undo and redo would do changes (an entry added, undone, redone, the
    // history dropped), also from inside a command's commit: whoever shows the captions looks
    // again. May be empty.
    std::function<void()> changed;

    // The database the history belongs to; empty when there is none.
    const std::string& path() const { return path_; }

  private:
    struct Entry {
        QString label;
        bool wholeFile = false;
        // Page entries: where the record is in the side file and what it holds.
        uint64_t offset = 0;
        uint64_t length = 0;
        uint32_t beforeCount = 0, afterCount = 0;  // images
        uint32_t oldPages = 0, newPages = 0;
        // File entries: the copies.
        std::string beforeCopy, afterCopy;
    };
    struct PendingFile {
        QString label;
        std::string beforeCopy;
    };

    void record(const jet::CommitImages& images);
    void addEntry(Entry e);
    void forget(const Entry& e);
    void trim();
    void rewriteSideFile();
    void clearEntries();
    void notify() {
        if (changed) changed();
    }
    void rememberStamp();
    bool fileUnchanged() const;
    std::string newCopy(const char* what);
    std::vector<uint8_t> readRecord(const Entry& e);
    jet::PageImages readImages(const Entry& e, bool after);
    Step step(jet::Database& db, const WhileClosed& whileClosed, bool redo);
    std::string pagesFile() const;

    bool enabled_ = true;
    jet::Env* env_ = nullptr;
    std::string path_;  // the database's, empty without a history
    std::deque<Entry> entries_;
    size_t pos_ = 0;  // entries_[0..pos_) are applied
    std::optional<jet::FileStamp> stamp_;
    QString pendingLabel_;
    std::optional<PendingFile> fileCommand_;
    uint64_t sideSize_ = 0;  // where the next record goes
    uint64_t deadBytes_ = 0;
    int copies_ = 0;
};

// One record of the side file (its layout is at the top of undohistory.cpp): written from the
// images of a commit, and read back distrusting the bytes, which may have been damaged or cut
// short while the program ran.
namespace undorecord {
std::vector<uint8_t> encode(const jet::CommitImages& images);
// Throws jet::Error (Corrupt) naming `file` unless `rec` is one whole record holding
// `beforeCount` images before the commit and `afterCount` after it: its length, magic, counts
// and checksum.
void check(const std::vector<uint8_t>& rec, uint32_t beforeCount, uint32_t afterCount,
           const std::string& file);
// The images before (after == false) or after the commit. REQUIRES: check() passed.
jet::PageImages images(const std::vector<uint8_t>& rec, bool after);
// What a record's checksum field must hold for its other bytes.
uint64_t checksum(const std::vector<uint8_t>& rec);
}  // namespace undorecord

}  // namespace zn
