// Switching the data module to another database file without losing the open one when the new
// file turns out to be unusable. No widgets: the open command collects the path and calls this.
#pragma once

#include <QString>

namespace zn {

class TDatMod;

// Tries `path` first on a connection of its own (open the file, open qrtema and tbSettings, which
// also runs the questions and answers queries of the first topic); only when that works is the
// data module's connection moved to it. Afterwards Conn is open on the new file with every
// dataset on it closed: the caller opens qrtema and tbSettings.
//
// On failure throws the engine's error and leaves Conn, its connection string and the datasets
// as they were. The file that is open now cannot be tried beside itself (the engine holds it
// exclusively), so choosing it again simply reconnects. Should the file become unusable between
// the trial and the switch, the previous database is opened again with its datasets and their
// cursors on the topic and question they were on, and the error is thrown.
//
// REQUIRES: `path` is not empty.
void switchDatabase(TDatMod& datMod, const QString& path);

}  // namespace zn
