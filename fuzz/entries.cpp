// The engine's fuzz targets (reading a database, writing into one, the lock file) and the list
// of every target.
#include "fuzz/entries.h"

#include <sstream>
#include <string>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/dump.h"
#include "jet/error.h"
#include "jet/file.h"
#include "jet/locking.h"

namespace znfuzz {

namespace {

// A damaged file must give an error that names the damage; Usage says the caller broke a
// contract, which a file's contents cannot make the caller do.
void requireFileError(const jet::Error& e, const char* during) {
    if (e.kind() == jet::ErrorKind::Usage)
        throw Finding(std::string("a damaged file gave a usage error ") + during + ": " + e.what());
}

std::string firstProblems(const jet::CheckReport& r) {
    std::string out;
    for (size_t i = 0; i < r.problems.size() && i < 3; ++i) out += "\n  " + r.problems[i];
    return out;
}

constexpr const char* kPath = "/fuzz/bank.mdb";

jet::OpenOptions inMemory(jet::MemEnv& env, bool writable) {
    jet::OpenOptions o;
    o.env = &env;
    o.writable = writable;
    o.allowPassword = true;
    return o;
}

// A text of `chars` characters (Cyrillic, so compressed and uncompressed text both come up).
std::u16string text(size_t chars) {
    std::u16string s;
    for (size_t i = 0; i < chars; ++i) s += char16_t(u'а' + i % 32);
    return s;
}

// A different value for `c` than `v`, of the column's type; `v` itself when there is none.
jet::Value changed(const jet::Column& c, const jet::Value& v) {
    switch (c.type) {
        case jet::ColType::Text:
            return text(std::min<size_t>(c.maxChars(), 7));
        case jet::ColType::Memo:
            return text(3000);  // long value pages
        case jet::ColType::Boolean:
            if (const auto* b = std::get_if<bool>(&v)) return !*b;
            return true;
        case jet::ColType::Byte:
        case jet::ColType::Int:
        case jet::ColType::Long:
            if (const auto* n = std::get_if<int64_t>(&v)) return *n == 1 ? int64_t(2) : int64_t(1);
            return int64_t(1);
        default:
            return v;
    }
}

// Writes on `t` in the open transaction: adds a copy of its first row (auto-numbers renumbered),
// changes the first row's first column that can change, and removes the second (or the added)
// row. A write the table refuses (a value out of range, a repeated key) changes nothing; the
// others go on.
void writeSome(jet::Table& t) {
    std::vector<jet::RowId> ids;
    jet::Row first;
    for (auto s = t.scan(); s.next() && ids.size() < 2;) {
        if (ids.empty()) first = s.row();
        ids.push_back(s.id());
    }
    // A copy: a refused write drops the cached definition.
    const std::vector<jet::Column> columns = t.def().columns;
    if (first.size() != columns.size()) first.assign(columns.size(), jet::Value{});
    auto refused = [](const jet::Error& e) { return e.kind() == jet::ErrorKind::Constraint; };

    std::optional<jet::RowId> added;
    try {
        jet::Row copy = first;
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].autoNumber() || columns[i].autoGuid()) copy[i] = jet::Value{};
        added = t.insert(copy);
    } catch (const jet::Error& e) {
        if (!refused(e)) throw;
    }
    if (!ids.empty()) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].autoNumber() || columns[i].autoGuid()) continue;
            jet::Row row = first;
            row[i] = changed(columns[i], first[i]);
            if (row[i] == first[i]) continue;
            try {
                t.update(ids[0], row);
            } catch (const jet::Error& e) {
                if (!refused(e)) throw;
            }
            break;
        }
    }
    try {
        if (ids.size() > 1)
            t.remove(ids[1]);
        else if (added)
            t.remove(*added);
    } catch (const jet::Error& e) {
        if (!refused(e)) throw;
    }
}

}  // namespace

const std::vector<Target>& targets() {
    static const std::vector<Target> all = {
        {"jet_read", readDatabase, true},
        {"jet_write", writeDatabase, true},
        {"lock_file", readLockFile, false},
#ifdef ZN_FUZZ_QT
        {"exchange", readExchangeFile, false},
        {"undo_record", readUndoRecord, false},
        {"backup_txt", readBackupDescription, false},
        {"bank_check", checkBank, true},
        {"moodlexml", readMoodleXmlFile, false},
        {"gift", readGiftFile, false},
        {"aiken", readAikenFile, false},
        {"csv", readCsvFile, false},
#endif
    };
    return all;
}

const Target* findTarget(std::string_view name) {
    for (const Target& t : targets())
        if (name == t.name) return &t;
    return nullptr;
}

// Opens a byte buffer as a database and reads the catalog, every table, every row with its
// long values and every index (through the integrity check).
void readDatabase(const uint8_t* data, size_t size) {
    try {
        auto db = jet::Database::fromBytes(std::vector<uint8_t>(data, data + size));
        jet::checkDatabase(*db);
        for (auto& name : db->tableNames(jet::TableKind::All)) {
            std::ostringstream sink;
            jet::dumpTable(db->table(name), sink);
        }
    } catch (const jet::Error& e) {
        requireFileError(e, "while reading");
    }
}

// Opens the bytes for writing on an in-memory file system and commits one small transaction
// on each user table (an added, a changed and a removed row). The outcome must be an engine
// error, or a file that opens; and when the file passed the integrity check before, it must
// pass it after, whether the transaction landed or was refused.
void writeDatabase(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    bool soundBefore = false;
    try {
        auto db = jet::Database::fromBytes(bytes);
        soundBefore = jet::checkDatabase(*db).ok();
    } catch (const jet::Error& e) {
        requireFileError(e, "while reading");
        return;
    }

    jet::MemEnv env;
    env.put(kPath, std::move(bytes));
    bool committed = false;
    try {
        auto db = jet::Database::open(kPath, inMemory(env, true));
        jet::Transaction tx(*db);
        const auto names = db->tableNames(jet::TableKind::User);
        for (size_t i = 0; i < names.size() && i < 4; ++i) writeSome(db->table(names[i]));
        tx.commit();
        committed = true;
    } catch (const jet::Error& e) {
        requireFileError(e, "while writing");
    }

    // The file as the next program to open it finds it.
    try {
        auto db = jet::Database::open(kPath, inMemory(env, false));
        const jet::CheckReport report = jet::checkDatabase(*db);
        if (soundBefore && !report.ok())
            throw Finding(std::string("a file that passed the check fails it after ") +
                          (committed ? "a committed" : "a refused") +
                          " write:" + firstProblems(report));
    } catch (const jet::Error& e) {
        if (soundBefore)
            throw Finding(std::string("a file that passed the check cannot be read after ") +
                          (committed ? "a committed" : "a refused") + " write: " + e.what());
        requireFileError(e, "while reading back");
    }
}

// The records of a Jet lock file (.ldb): every record read has a name that fits its 32-byte
// field and holds no NUL, and there are no more records than whole 64-byte blocks.
void readLockFile(const uint8_t* data, size_t size) {
    const auto records = jet::parseLockFile(std::vector<uint8_t>(data, data + size));
    if (records.size() > size / jet::kLockRecordSize)
        throw Finding("more lock file records than the bytes hold");
    for (const auto& r : records) {
        if (r.computer.size() > 32 || r.user.size() > 32)
            throw Finding("a lock file name longer than its field");
        if (r.computer.find('\0') != std::string::npos || r.user.find('\0') != std::string::npos)
            throw Finding("a lock file name holding a NUL");
        if (r.computer.empty() && r.user.empty()) throw Finding("an empty lock file record");
    }
}

#ifndef ZN_FUZZ_QT
void initialize() {}
#endif

}  // namespace znfuzz
