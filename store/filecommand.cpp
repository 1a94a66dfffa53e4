// Backups and undo entries of the commands that replace the file.
#include "store/filecommand.h"

#include <QFile>
#include <QFileInfo>

#include "jet/error.h"
#include "store/backups.h"
#include "store/enginepath.h"
#include "store/filecopy.h"
#include "store/tdatmod.h"

namespace zn {

void requireWritable(TDatMod& dm) {
    if (dm.readOnly())
        throw jet::Error(jet::ErrorKind::ReadOnly, dm.readOnlyMessage().toStdString());
}

FileCommand::FileCommand(TDatMod& dm, const QString& dbPath, const QString& label) : dm_(dm) {
    requireWritable(dm_);
    backup_ = makeBackup(dbPath, label);
    const QString open = dm_.Conn.isOpen() ? dm_.Conn.fileName() : dbPath;
    dm_.history.beginFileCommand(label, enginePath(open));
}

FileCommand::~FileCommand() {
    try {
        dm_.history.endFileCommand();
    } catch (...) {
    }
}

void restoreFromBackup(TDatMod& dm, const QString& dbPath, const QString& backupPath) {
    requireWritable(dm);
    const std::string db = enginePath(dbPath);
    // Read first: taking this command's own backup may remove the oldest one.
    const std::string source = db + ".restore-source";
    struct Cleanup {
        std::string path;
        ~Cleanup() { QFile::remove(fromEnginePath(path)); }
    } cleanup{source};
    copyWholeFile(enginePath(backupPath), source, false);
    // What goes in place is what was checked.
    checkBackup(fromEnginePath(source), QFileInfo(backupPath).fileName());
    FileCommand command(dm, dbPath, QStringLiteral("восстановление из резервной копии"));
    dm.whileClosed([&] { replaceWithCopy(source, db); });
}

}  // namespace zn
