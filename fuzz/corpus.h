// The inputs of the fuzz targets: the regression corpus in the project (fuzz/corpus/<target>/),
// the shared inputs beside it (../shared/fixtures), and the seeds made from our own engine's
// files.
//
// A corpus file is the input itself, except a file named "*.hex": a hex dump, for inputs that
// are binary and large (a damaged database). Its lines:
//   # ...                 a note: where the input came from and what it found (ignored)
//   size N                the input's length in bytes (decimal)
//   base NAME             optional: the bytes the dump starts from, instead of zeros: a file
//                         of the shared fixtures ("mdb/access/jk-empty.mdb") or a seed of ours
//                         ("seed:sample.mdb", see databaseSeeds())
//   OFFSET: XX XX ...     bytes (hex) from OFFSET (hex) on; bytes no line gives are the base's
// An input whose base is a shared fixture cannot be built when the shared folder is absent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fuzz/entries.h"

namespace znfuzz {

struct Input {
    std::string name;
    std::vector<uint8_t> bytes;
};

// The shared fixtures folder (../shared/fixtures of the project), "" when it is absent.
std::string sharedFixtures();
// The project's regression corpus of `target` (its folder may not exist).
std::string corpusFolder(const Target& target);

// The regular files of `folder` (not README.md), sorted by name; none when it is absent.
std::vector<std::string> filesIn(const std::string& folder);

// Reads one corpus file (a hex dump decoded). nullopt, with `why` set, when the input cannot
// be built here (its base is absent); throws std::runtime_error for a malformed dump or an
// unreadable file.
std::optional<Input> readInput(const std::string& path, std::string* why = nullptr);

// The hex dump of `bytes`: against `base` (only the bytes that differ) when it is given, else
// against zeros. `baseName` is written as the base line; every line of `note` becomes a note.
std::string hexDump(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>* base,
                    const std::string& baseName, const std::string& note);

// The seeds of `target` made from our own engine's files (a sample bank, damaged page by page;
// an exchange file, undo records, lock files and descriptions of our own writers). The same
// on every run.
std::vector<Input> seedsFor(const Target& target);
// The sample bank ("sample.mdb") and its damaged copies, by name.
std::vector<Input> databaseSeeds();

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace znfuzz
