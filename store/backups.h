// Backups of the database before the commands that replace it (import, delete all, compaction,
// restoring a backup): whole copies in a "backups" folder beside the database, named after the
// database and the time ("test-2026-12-10-17-05-03.mdb"), each with a small description beside
// it ("test-2026-12-10-17-05-03.txt": the command, the numbers of topics and questions). The
// newest kMaxBackups are kept.
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
// oldest backups beyond kMaxBackups. The counts are read from the copy. Returns the copy's path.
// Throws jet::Error when the copy cannot be made (the command must not run then).
// REQUIRES: nobody is writing the file (our own connection may have it open between commands).
QString makeBackup(const QString& dbPath, const QString& command);

// The backups of the database at `dbPath`, newest first.
std::vector<BackupInfo> listBackups(const QString& dbPath);

// What a backup's description (the bytes of its .txt) says, into `b`: the command, and the
// numbers of topics and questions (-1 for one that cannot be read). Any bytes may come.
void readDescription(const QByteArray& bytes, BackupInfo& b);

// One line for a list: "10.12.2026 17:05:03 — импорт: тем 3, вопросов 25".
QString describe(const BackupInfo& b);

}  // namespace zn
