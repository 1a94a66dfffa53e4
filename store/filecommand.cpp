// Backups and undo entries of the commands that replace the file.
#include "store/filecommand.h"

#include <QFile>

#include "store/backups.h"
#include "store/filecopy.h"
#include "store/tdatmod.h"

namespace zn {

FileCommand::FileCommand(TDatMod& dm, const QString& dbPath, const QString& label) : dm_(dm) {
    backup_ = makeBackup(dbPath, label);
    const QString open = dm_.Conn.isOpen() ? dm_.Conn.fileName() : dbPath;
    dm_.history.beginFileCommand(label, QFile::encodeName(open).toStdString());
}

FileCommand::~FileCommand() {
    try {
        dm_.history.endFileCommand();
    } catch (...) {
    }
}

void restoreFromBackup(TDatMod& dm, const QString& dbPath, const QString& backupPath) {
    const std::string db = QFile::encodeName(dbPath).toStdString();
    // Read first: taking this command's own backup may remove the oldest one.
    const std::string source = db + ".restore-source";
    copyWholeFile(QFile::encodeName(backupPath).toStdString(), source, false);
    struct Cleanup {
        std::string path;
        ~Cleanup() { QFile::remove(QFile::decodeName(path.c_str())); }
    } cleanup{source};
    FileCommand command(dm, dbPath, QStringLiteral("восстановление из резервной копии"));
    dm.whileClosed([&] { replaceWithCopy(source, db); });
}

}  // namespace zn
