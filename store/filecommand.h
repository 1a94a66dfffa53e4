// The frame of a command that replaces the database file (import, delete all, compaction,
// restoring a backup): a backup of the file before it, and one entry of the undo history for
// the whole command, whose undo and redo put the whole file back.
#pragma once

#include <QString>

namespace zn {

class TDatMod;

// Throws jet::Error (ReadOnly) with the data module's Russian reason when the open database
// cannot be written: a command that replaces the file must not begin, nor take its backup, then.
void requireWritable(TDatMod& dm);

class FileCommand {
  public:
    // Refuses a database that cannot be written (requireWritable), takes the backup
    // (store/backups.h; a failure throws and the command must not run) and copies the file for
    // the undo history. `label` names the command in both. The caller has checked its input:
    // from here on the command runs.
    FileCommand(TDatMod& dm, const QString& dbPath, const QString& label);
    // Ends the history's entry: the command's whole effect, however far it got, becomes one
    // entry (none when the file did not change).
    ~FileCommand();
    FileCommand(const FileCommand&) = delete;
    FileCommand& operator=(const FileCommand&) = delete;

    const QString& backupPath() const { return backup_; }

  private:
    TDatMod& dm_;
    QString backup_;
};

// Puts the backup at `backupPath` in place of the database at `dbPath` as a command of its own
// (backed up and undoable like the others): the backup is read and checked with the engine's
// integrity check first (a damaged one is refused with a Russian message before anything
// changes), then the connection is closed, the file replaced and the connection opened again
// with qrtema and tbSettings. On a failure the file stays as it was and the connection is opened
// again before the error propagates.
void restoreFromBackup(TDatMod& dm, const QString& dbPath, const QString& backupPath);

}  // namespace zn
