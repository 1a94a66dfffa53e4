// Switching databases: trial on a separate connection, then the switch, with a way back.
#include "frame/opendatabase.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <optional>

#include "store/tdatmod.h"

namespace zn {

namespace {

// Whether `a` and `b` name the same file (also through links). The engine's exclusive lock
// belongs to the file, so a second handle on it would be refused even under another name.
bool sameFile(const QString& a, const QString& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0) return false;
    if (::stat(QFile::encodeName(b).constData(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// What the datasets on the connection looked like, to rebuild it after a failed switch.
struct Snapshot {
    QString connectionString;
    bool qrtemaOpen = false;
    bool tbSettingsOpen = false;
    std::optional<qint64> numtema;  // qrtema's current topic
    std::optional<qint64> idvopr;   // qrvoprosi's current question

    explicit Snapshot(TDatMod& dm) : connectionString(dm.Conn.connectionString()) {
        qrtemaOpen = dm.qrtema.isOpen();
        tbSettingsOpen = dm.tbSettings.isOpen();
        if (qrtemaOpen && dm.qrtema.recNo() > 0) numtema = dm.qrtema.asInteger("numtema");
        if (dm.qrvoprosi.isOpen() && dm.qrvoprosi.recNo() > 0)
            idvopr = dm.qrvoprosi.asInteger("idvopr");
    }

    void restore(TDatMod& dm) const {
        dm.Conn.setConnectionString(connectionString);
        dm.Conn.open();
        if (qrtemaOpen) {
            dm.qrtema.open();
            if (numtema) dm.qrtema.locate(QStringLiteral("numtema"), *numtema);
            if (idvopr && dm.qrvoprosi.isOpen())
                dm.qrvoprosi.locate(QStringLiteral("idvopr"), *idvopr);
        }
        if (tbSettingsOpen) dm.tbSettings.open();
    }
};

}  // namespace

void switchDatabase(TDatMod& datMod, const QString& path) {
    const QString target = QFileInfo(path).absoluteFilePath();
    if (!datMod.Conn.isOpen()) {
        datMod.connectTo(target);
        return;
    }
    if (sameFile(datMod.Conn.fileName(), target)) {
        datMod.connectTo(target);
        return;
    }

    {
        // The trial: the same queries the caller opens next, on a connection of their own. Its
        // notifications reach nobody.
        TDatMod trial;
        trial.connectTo(target);
        trial.qrtema.open();
        trial.tbSettings.open();
    }

    const Snapshot before(datMod);
    try {
        datMod.connectTo(target);
    } catch (...) {
        try {
            before.restore(datMod);
        } catch (...) {
            // The first error is the one the user must see; the connection stays closed.
        }
        throw;
    }
}

}  // namespace zn
