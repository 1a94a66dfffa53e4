// Backups of the database before the commands that replace it (import, delete all, compaction,
// restoring a backup): whole copies in a "backups" folder beside the database, named after the
// database and the time ("test-2026-12-10-17-05-03.mdb"), each with a small description beside
// it ("test-2026-12-10-17-05-03.txt": the command, the numbers of topics and questions). The
// newest kMaxBackups are kept.
//
// A backup appears whole or not at all: the copy and its description are written under
// temporary names ("….mdb.part", "….txt.part"), synced, and renamed into place, the description
// first; a backup is a copy together with its description, so a description whose copy never
// arrived is not one. What an interrupted backup leaves (temporary files, a description without
// its copy, a copy without its description) is removed by the next backup. A backup whose bytes
// are those of the newest one is not made again: the newest one's description then names this
// command too.
#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

namespace zn {

struct BackupInfo {
    QString path;  // the copy
    QDateTime when;
    QString command;  // the command it was taken before
    int topics = -1;  // -1: unknown (a description that cannot be read)
    int questions = -1;
    int sequence = 1;  // the N-th backup taken within the same second
};

inline constexpr int kMaxBackups = 10;

// The folder of the backups of the database at `dbPath`.
QString backupFolder(const QString& dbPath);

// Copies the database (durably) into its backup folder with its description and removes the
// oldest backups beyond kMaxBackups; when the newest backup holds the same bytes, only its
// description is brought up to date. The counts are read from the copy. Returns the backup's
// path. Throws jet::Error with a Russian message when the backup cannot be made or its
// description cannot be written: the command must not run then (nothing of the failed backup
// is left in place).
// REQUIRES: nobody is writing the file (our own connection may have it open between commands).
QString makeBackup(const QString& dbPath, const QString& command);

// The backups of the database at `dbPath`, newest first: the copies that have their
// description (temporary files are never listed).
std::vector<BackupInfo> listBackups(const QString& dbPath);

// What a backup's description (the bytes of its .txt) says, into `b`: the command, and the
// numbers of topics and questions (-1 for one that cannot be read). Any bytes may come.
void readDescription(const QByteArray& bytes, BackupInfo& b);

// One line for a list: "10.12.2026 17:05:03 — импорт: тем 3, вопросов 25".
QString describe(const BackupInfo& b);

// Throws jet::Error (Corrupt) with a Russian message when the file at `path` is not a database
// that passes the engine's integrity check. `shownName` names it in the message.
void checkBackup(const QString& path, const QString& shownName);

}  // namespace zn
