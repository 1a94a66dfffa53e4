// The fuzz targets: one entry function per reader of bytes that come from outside the program
// (a database file, the exchange file, the undo history's side file, the lock file, a backup's
// description, the question files of other programs). The libFuzzer programs (fuzz/target.cpp) and
// the regression test (tests/fuzz_corpus_test.cpp) both call them, so an input found by fuzzing is
// replayed by the normal tests through the same code.
//
// An entry returns normally for every outcome the code under test is allowed: a result, or an
// error of its own kind (jet::Error) for a damaged input. It throws Finding when the input
// makes the code break a promise without crashing (a file that passed the integrity check
// fails it after a committed write; an exchange file that does not read back as it was
// written). Any other exception escaping an entry, a crash or a sanitizer report is a finding
// too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace znfuzz {

using Entry = void (*)(const uint8_t* data, size_t size);

struct Target {
    const char* name;  // also the folder of its regression corpus: fuzz/corpus/<name>
    Entry entry;
    // Takes database files: the shared .mdb fixtures and the damaged banks of fuzz_seeds are
    // its seeds.
    bool readsDatabases;
};

// Every target of this build, in a fixed order (the Qt ones only in builds with Qt).
const std::vector<Target>& targets();
// The target called `name`, or nullptr.
const Target* findTarget(std::string_view name);

// A promise broken by an input; what() says which.
struct Finding : std::logic_error {
    using std::logic_error::logic_error;
};

// What the entries need once per process (Qt's hash seed made fixed, so that a run with a
// fixed seed takes the same paths every time). Called by the libFuzzer programs; harmless to
// call again.
void initialize();

// The targets (fuzz/entries.cpp: the engine's; fuzz/entries_qt.cpp: those over Qt code;
// fuzz/entries_formats.cpp: the readers of Moodle XML, GIFT, Aiken and CSV files).
void readDatabase(const uint8_t* data, size_t size);
void writeDatabase(const uint8_t* data, size_t size);
void readLockFile(const uint8_t* data, size_t size);
void readExchangeFile(const uint8_t* data, size_t size);
void readUndoRecord(const uint8_t* data, size_t size);
void readBackupDescription(const uint8_t* data, size_t size);
void checkBank(const uint8_t* data, size_t size);
void readMoodleXmlFile(const uint8_t* data, size_t size);
void readGiftFile(const uint8_t* data, size_t size);
void readAikenFile(const uint8_t* data, size_t size);
void readCsvFile(const uint8_t* data, size_t size);

}  // namespace znfuzz
