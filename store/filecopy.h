// Whole-file copies for the undo history and the backups: plain copies, durable ones, and
// putting a copy in place of a database file so that a power loss leaves either the old file or
// the new one at the path, never a part of each.
#pragma once

#include <string>

namespace zn {

// Copies `from` to `to` (created or truncated). With `durable` the copy's bytes and its name are
// synced to disk before the function returns. Throws jet::Error (Io, NotFound) naming the file.
void copyWholeFile(const std::string& from, const std::string& to, bool durable);

// Puts a copy of `source` at `target`: copies it to a temporary file in target's folder, syncs
// it, renames it over `target` and syncs the folder. Whatever fails, `target` is either as it
// was or the whole copy. REQUIRES: nobody has `target` open for writing.
void replaceWithCopy(const std::string& source, const std::string& target);

}  // namespace zn
