// Whole-file copies for the undo history and the backups: plain copies, durable ones, and
// putting a copy in place of a database file so that a power loss leaves either the old file or
// the new one at the path, never a part of each.
#pragma once

#include <string>

namespace zn {

// Copies `from` to `to` (created or truncated). With `durable` the copy's bytes and its name are
// synced to disk before the function returns. Throws jet::Error (Io, NotFound) naming the file.
void copyWholeFile(const std::string& from, const std::string& to, bool durable);

// Writes `bytes` as the whole file `to` (created or truncated) and syncs its bytes (not its
// name: the caller renames it into place). Throws jet::Error (Io) naming the file.
void writeWholeFile(const std::string& to, const std::string& bytes);

// Whether the files hold the same bytes (false when either cannot be read).
bool sameContents(const std::string& a, const std::string& b);

// Renames `from` to `to` (replacing it) and syncs the folder. Throws jet::Error (Io).
void renameDurably(const std::string& from, const std::string& to);

// Makes the names in the folder of `path` durable (creations, renames, removals). Throws
// jet::Error (Io).
void syncFolderOf(const std::string& path);

// Puts a copy of `source` at `target`: copies it to a temporary file in target's folder, syncs
// it, renames it over `target` and syncs the folder. Whatever fails, `target` is either as it
// was or the whole copy. REQUIRES: nobody has `target` open for writing.
void replaceWithCopy(const std::string& source, const std::string& target);

}  // namespace zn
