// Deleting all topics, questions and answers, and compacting the database file. No widgets: the
// main window's delete-all and compaction buttons, the import and the command-line tool call
// these.
//
// The deletion is one write scope: it lands whole or not at all. It removes every row of Tema,
// Voprosi and Otveti, also questions of no topic and answers of no question, so that nothing
// old can reappear under a topic number a later import uses again; Settings stays.
//
// Compaction works on the closed file: the data module's connection is closed, the engine writes
// a compacted copy as "mdb<hex>.tmp" in the database's folder and renames it over the original
// (an atomic replacement: whatever fails, the original stays whole until the copy has replaced
// it), and the connection is opened again. A failed compaction (the file held by another
// program, a folder that cannot be written) is shown in a plain message box and the caller goes
// on with the reopened connection.
#pragma once

#include <QString>
#include <functional>

#include "store/feedback.h"
#include "store/session.h"

namespace jet {
class Env;
}

namespace zn {

class TDatMod;

// Compacts the database file at `databasePath` in place. Returns false after a failure, whose
// message (the engine's or the system's) was shown in a plain box; the file is then as it was.
// `env` is the file system to use (nullptr: the real one). REQUIRES: the file is not open in
// this program.
bool CompactDatabase_JRO(const QString& databasePath, Feedback& feedback, jet::Env* env = nullptr);

class BulkDeletion {
  public:
    // All must outlive this object. The database compacted is `session.databasePath`.
    BulkDeletion(TDatMod& dm, Feedback& feedback, const Session& session);

    // Deletes every topic, question and answer in one write scope (it joins the caller's). The
    // progress bar goes from 0 to the number of topics, one step per topic (left alone when there
    // are none) and stays there. The data module's datasets are not moved: after a commit the
    // caller closes the connection; after a rollback they stand where they stood.
    // REQUIRES: the connection is open.
    void deleteRows();

    // Closes the connection, compacts the file and opens the connection again with qrtema and
    // tbSettings, then runs afterReopen. Returns whether the compaction succeeded (a failure was
    // shown in a plain box). Errors of reopening propagate. REQUIRES: no write scope is open.
    bool compactAndReopen();

    // Called after every reopening of the connection (may be empty).
    std::function<void()> afterReopen;

    // Deletezap: deleteRows() in a write scope of its own, then compactAndReopen(), after a
    // backup and as one entry of the undo history (store/filecommand.h). The tree is not rebuilt.
    void Deletezap();
    // The compaction command: compactAndReopen() after a backup, as one entry of the undo
    // history. Returns whether the compaction succeeded.
    bool Compact();

    // The database the commands work on: the session's, else the connection's.
    QString databasePath() const;

  private:
    TDatMod& dm_;
    Feedback& fb_;
    const Session& session_;
};

}  // namespace zn
