// Compaction: a new copy of a database with every object, live row and long value, every index
// rebuilt, and nothing of the space deleted rows, orphaned long values, freed pages and stale
// index entries took.
#pragma once

#include <cstdint>
#include <string>

#include "jet/file.h"

namespace jet {

struct CompactResult {
    uint64_t sizeBefore = 0;
    uint64_t sizeAfter = 0;
    // Set when the copy uses the General sort order because the source's could not be written;
    // says so in words.
    std::string note;
};

// Writes a compacted copy of the database at `source` to `destination`, which must not exist.
// The source is only read, but no other program may have it open for writing: its lock file is
// held while it is copied (InUse otherwise). Programs that only read it are no obstacle. On
// failure nothing is left at `destination`.
CompactResult compactDatabase(const std::string& source, const std::string& destination,
                              Env* env = nullptr);

// Compacts the database at `path` in place: the copy is written to a new file named
// "mdb<hex>.tmp" in the same folder (the current folder when the path has none) and then
// replaces the original by an atomic rename. Whatever fails, and whenever the process dies,
// the original stays intact; a copy left by an earlier crash is removed first. A reader inside a
// read scope finishes on the old file; its next scope finds the new one (a changed file).
CompactResult compactInPlace(const std::string& path, Env* env = nullptr);

}  // namespace jet
