// The undo history: entries, the side file of page images, and undo/redo.
//
// Side file ".<file>-undo/pages": records appended one per command, never synced (the history
// does not outlive the program). A record:
//   0  4   magic "ZNUR"
//   4  4   number of images before, B
//   8  4   number of images after, A
//   12 4   page count before
//   16 4   page count after
//   20 8   checksum (FNV-1a 64) of bytes 0..19 and of the images
//   28     B + A images: u32 page number, then 4096 bytes
#include "store/undohistory.h"

#include <cstring>
#include <filesystem>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/file.h"
#include "store/filecopy.h"

namespace zn {

namespace {

constexpr char kMagic[4] = {'Z', 'N', 'U', 'R'};
constexpr size_t kHeader = 28;
constexpr size_t kImage = 4 + jet::fmt::kPageSize;

uint64_t fnv(const uint8_t* p, size_t n, uint64_t h = 1469598103934665603ull) {
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

// `why` names the file already.
[[noreturn]] void sideFileError(const char* what, const jet::Error& why) {
    throw jet::Error(jet::ErrorKind::Io, std::string(what) + ": " + why.what());
}

void removeTree(const std::string& dir) {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);  // best effort: a leftover is removed next time
}

}  // namespace

namespace undorecord {

uint64_t checksum(const std::vector<uint8_t>& rec) {
    return fnv(rec.data() + kHeader, rec.size() - kHeader, fnv(rec.data(), 20));
}

std::vector<uint8_t> encode(const jet::CommitImages& c) {
    std::vector<uint8_t> rec(kHeader + (c.before.size() + c.after.size()) * kImage);
    std::memcpy(rec.data(), kMagic, 4);
    jet::putU32(rec.data() + 4, uint32_t(c.before.size()));
    jet::putU32(rec.data() + 8, uint32_t(c.after.size()));
    jet::putU32(rec.data() + 12, c.oldPageCount);
    jet::putU32(rec.data() + 16, c.newPageCount);
    size_t at = kHeader;
    for (const auto* images : {&c.before, &c.after}) {
        for (const auto& [no, page] : *images) {
            jet::putU32(rec.data() + at, no);
            std::memcpy(rec.data() + at + 4, page->data(), page->size());
            at += kImage;
        }
    }
    jet::putU64(rec.data() + 20, checksum(rec));
    return rec;
}

void check(const std::vector<uint8_t>& rec, uint32_t beforeCount, uint32_t afterCount,
           const std::string& file) {
    const jet::Bytes b(rec.data(), rec.size());
    const bool whole = rec.size() >= kHeader &&
                       rec.size() == kHeader + (uint64_t(beforeCount) + afterCount) * kImage &&
                       std::memcmp(rec.data(), kMagic, 4) == 0 && b.u32(4) == beforeCount &&
                       b.u32(8) == afterCount && b.u64(20) == checksum(rec);
    if (!whole)
        throw jet::Error(jet::ErrorKind::Corrupt, "The undo history \"" + file + "\" is damaged");
}

jet::PageImages images(const std::vector<uint8_t>& rec, bool after) {
    const jet::Bytes b(rec.data(), rec.size());
    jet::PageImages out;
    const size_t first = after ? b.u32(4) : 0;
    const size_t count = after ? b.u32(8) : b.u32(4);
    for (size_t i = first; i < first + count; ++i) {
        const uint8_t* p = rec.data() + kHeader + i * kImage;
        auto page = std::make_shared<jet::PageBuf>();
        std::memcpy(page->data(), p + 4, page->size());
        out.emplace(jet::Bytes(p, 4).u32(0), std::move(page));
    }
    return out;
}

}  // namespace undorecord

UndoHistory::~UndoHistory() {
    drop();
}

std::string UndoHistory::pagesFile() const {
    return sideFolder(path_) + "/pages";
}

void UndoHistory::setEnabled(bool on) {
    enabled_ = on;
    if (!on) drop();
}

void UndoHistory::attach(jet::Database& db) {
    if (!enabled_ || !db.writable()) {
        drop();
        return;
    }
    if (db.path() != path_) {
        drop();
        path_ = db.path();
        // Left by a program that died: its history, and the copies it was putting in place.
        removeTree(sideFolder(path_));
        std::error_code ec;
        std::filesystem::remove(path_ + ".restoring", ec);
        std::filesystem::remove(path_ + ".restore-source", ec);
        rememberStamp();
    }
    env_ = &db.env();
    db.setCommitObserver([this](const jet::CommitImages& c) { record(c); });
}

void UndoHistory::clearEntries() {
    entries_.clear();
    pos_ = 0;
    sideSize_ = 0;
    deadBytes_ = 0;
    fileCommand_.reset();
    if (!path_.empty()) removeTree(sideFolder(path_));
    notify();
}

void UndoHistory::drop() {
    clearEntries();
    path_.clear();
    stamp_.reset();
    env_ = nullptr;
}

void UndoHistory::rememberStamp() {
    stamp_.reset();
    if (env_ && !path_.empty()) stamp_ = env_->stamp(path_);
}

bool UndoHistory::fileUnchanged() const {
    if (!env_ || path_.empty()) return false;
    const auto now = env_->stamp(path_);
    return now && stamp_ && *now == *stamp_;
}

void UndoHistory::checkFileUnchanged() {
    if (path_.empty() || fileCommand_) return;
    if (!entries_.empty() && !fileUnchanged()) clearEntries();
}

QString UndoHistory::undoLabel() const {
    return canUndo() ? entries_[pos_ - 1].label : QString();
}

QString UndoHistory::redoLabel() const {
    return canRedo() ? entries_[pos_].label : QString();
}

// ---------------------------------------------------------------------------------------------
// Recording

void UndoHistory::record(const jet::CommitImages& c) {
    QString label = pendingLabel_.isEmpty() ? QStringLiteral("изменение базы") : pendingLabel_;
    pendingLabel_.clear();
    if (!enabled_ || path_.empty() || fileCommand_) return;
    try {
        const std::vector<uint8_t> rec = undorecord::encode(c);

        // A new command after undos: the entries that could have been redone go.
        while (entries_.size() > pos_) {
            forget(entries_.back());
            if (!entries_.back().wholeFile) sideSize_ = entries_.back().offset;
            entries_.pop_back();
        }
        std::filesystem::create_directories(sideFolder(path_));
        const std::string file = pagesFile();
        try {
            jet::Env& env = jet::Env::posix();
            auto f = env.open(
                file, env.exists(file) ? jet::OpenMode::ReadWrite : jet::OpenMode::CreateNew);
            f->truncate(sideSize_);
            f->write(sideSize_, rec.data(), rec.size());
        } catch (const jet::Error& e) {
            sideFileError("Cannot write the undo history", e);
        }

        Entry e;
        e.label = label;
        e.offset = sideSize_;
        e.length = rec.size();
        e.beforeCount = uint32_t(c.before.size());
        e.afterCount = uint32_t(c.after.size());
        e.oldPages = c.oldPageCount;
        e.newPages = c.newPageCount;
        sideSize_ += rec.size();
        addEntry(std::move(e));
    } catch (...) {
        // The command has landed; without its images nothing before it can be undone exactly.
        clearEntries();
    }
    rememberStamp();
    notify();
}

void UndoHistory::addEntry(Entry e) {
    entries_.push_back(std::move(e));
    pos_ = entries_.size();
    trim();
}

void UndoHistory::forget(const Entry& e) {
    if (!e.wholeFile) return;
    std::error_code ec;
    std::filesystem::remove(e.beforeCopy, ec);
    std::filesystem::remove(e.afterCopy, ec);
}

void UndoHistory::trim() {
    while (entries_.size() > size_t(kMaxEntries)) {
        forget(entries_.front());
        if (!entries_.front().wholeFile) deadBytes_ += entries_.front().length;
        entries_.pop_front();
        if (pos_ > 0) --pos_;
    }
    // The side file only grows at its end; once most of it is entries no longer kept, the
    // kept ones are copied into a new one.
    if (deadBytes_ > (uint64_t(16) << 20) && deadBytes_ > sideSize_ - deadBytes_) rewriteSideFile();
}

void UndoHistory::rewriteSideFile() {
    const std::string file = pagesFile(), temp = file + ".new";
    std::vector<Entry> moved(entries_.begin(), entries_.end());
    uint64_t at = 0;
    jet::Env& env = jet::Env::posix();
    try {
        auto f = env.open(temp, jet::OpenMode::Create);
        for (Entry& e : moved) {
            if (e.wholeFile) continue;
            std::vector<uint8_t> rec = readRecord(e);
            f->write(at, rec.data(), rec.size());
            e.offset = at;
            at += rec.size();
        }
    } catch (const jet::Error& e) {
        sideFileError("Cannot write the undo history", e);
    }
    try {
        env.rename(temp, file);
    } catch (const jet::Error& e) {
        sideFileError("Cannot replace the undo history", e);
    }
    entries_.assign(moved.begin(), moved.end());
    sideSize_ = at;
    deadBytes_ = 0;
}

std::string UndoHistory::newCopy(const char* what) {
    std::filesystem::create_directories(sideFolder(path_));
    return sideFolder(path_) + "/file" + std::to_string(++copies_) + "-" + what + ".mdb";
}

void UndoHistory::beginFileCommand(const QString& label, const std::string& dbPath) {
    if (fileCommand_) abandonFileCommand();
    pendingLabel_.clear();
    if (!enabled_ || path_.empty() || dbPath != path_) return;
    checkFileUnchanged();
    PendingFile p;
    p.label = label;
    p.beforeCopy = newCopy("before");
    copyWholeFile(path_, p.beforeCopy, false);
    fileCommand_ = std::move(p);
}

void UndoHistory::abandonFileCommand() {
    if (!fileCommand_) return;
    std::error_code ec;
    std::filesystem::remove(fileCommand_->beforeCopy, ec);
    fileCommand_.reset();
}

void UndoHistory::endFileCommand() {
    if (!fileCommand_) return;
    PendingFile p = std::move(*fileCommand_);
    fileCommand_.reset();
    if (fileUnchanged()) {  // the command failed before it changed anything
        std::error_code ec;
        std::filesystem::remove(p.beforeCopy, ec);
        return;
    }
    try {
        while (entries_.size() > pos_) {
            forget(entries_.back());
            if (!entries_.back().wholeFile) sideSize_ = entries_.back().offset;
            entries_.pop_back();
        }
        Entry e;
        e.label = p.label;
        e.wholeFile = true;
        e.beforeCopy = p.beforeCopy;
        e.afterCopy = newCopy("after");
        copyWholeFile(path_, e.afterCopy, false);
        addEntry(std::move(e));
    } catch (...) {
        clearEntries();
    }
    rememberStamp();
    notify();
}

// ---------------------------------------------------------------------------------------------
// Undo and redo

std::vector<uint8_t> UndoHistory::readRecord(const Entry& e) {
    const std::string file = pagesFile();
    std::vector<uint8_t> rec(e.length);
    size_t done = 0;
    try {
        done = jet::Env::posix()
                   .open(file, jet::OpenMode::Read)
                   ->read(e.offset, rec.data(), rec.size());
    } catch (const jet::Error& err) {
        sideFileError("Cannot read the undo history", err);
    }
    rec.resize(done);
    undorecord::check(rec, e.beforeCount, e.afterCount, file);
    return rec;
}

jet::PageImages UndoHistory::readImages(const Entry& e, bool after) {
    return undorecord::images(readRecord(e), after);
}

UndoHistory::Step UndoHistory::undo(jet::Database& db, const WhileClosed& whileClosed) {
    return step(db, whileClosed, false);
}

UndoHistory::Step UndoHistory::redo(jet::Database& db, const WhileClosed& whileClosed) {
    return step(db, whileClosed, true);
}

UndoHistory::Step UndoHistory::step(jet::Database& db, const WhileClosed& whileClosed, bool redo) {
    Step out;
    if (redo ? !canRedo() : !canUndo()) {
        out.why = QStringLiteral("Нечего %1.")
                      .arg(redo ? QStringLiteral("повторять") : QStringLiteral("отменять"));
        return out;
    }
    if (db.inTransaction())
        throw jet::Error(jet::ErrorKind::Usage, "A command cannot be undone while another writes");
    if (!fileUnchanged() || !db.unchangedByOthers()) {
        clearEntries();
        out.changedByOthers = true;
        out.why = QStringLiteral(
            "Файл базы данных изменён другой программой после последней команды. Отменять и "
            "повторять команды в нём больше нельзя: список команд очищен, файл оставлен как "
            "есть и открыт заново.");
        return out;
    }
    const Entry e = entries_[redo ? pos_ : pos_ - 1];
    if (e.wholeFile) {
        whileClosed([&] { replaceWithCopy(redo ? e.afterCopy : e.beforeCopy, path_); });
    } else {
        jet::PageImages images;
        try {
            images = readImages(e, redo);
        } catch (const jet::Error&) {
            clearEntries();
            out.why = QStringLiteral(
                "История команд повреждена и очищена; файл базы данных оставлен "
                "как есть.");
            return out;
        }
        out.pagesRestored = true;
        db.restorePages(images, redo ? e.newPages : e.oldPages);
    }
    pos_ = redo ? pos_ + 1 : pos_ - 1;
    rememberStamp();
    notify();
    return out;
}

}  // namespace zn
