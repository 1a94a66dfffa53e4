// Backups beside the database.
#include "store/backups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <algorithm>

#include "jet/database.h"
#include "jet/error.h"
#include "store/filecopy.h"
#include "store/schema.h"

namespace zn {

namespace {

const QString kStamp = QStringLiteral("yyyy-MM-dd-HH-mm-ss");

int rowsOf(jet::Database& db, const QString& table) {
    if (!db.hasTable(table.toStdString())) return 0;
    int n = 0;
    for (auto s = db.table(table.toStdString()).scan(false); s.next();) ++n;
    return n;
}

// The time in a backup's name: after the database's name and a dash, before ".mdb", and an
// optional "-N" for the N-th backup within the same second (1 without it).
QDateTime timeOf(const QString& baseName, const QString& stem, int& sequence) {
    if (!baseName.startsWith(stem + u'-')) return {};
    const int at = int(stem.size()) + 1;
    const QString rest = baseName.mid(at + int(kStamp.size()));
    sequence = 1;
    if (!rest.isEmpty()) {
        bool ok = false;
        sequence = rest.startsWith(u'-') ? rest.mid(1).toInt(&ok) : 0;
        if (!ok) return {};
    }
    return QDateTime::fromString(baseName.mid(at, kStamp.size()), kStamp);
}

}  // namespace

QString backupFolder(const QString& dbPath) {
    return QFileInfo(dbPath).absolutePath() + QStringLiteral("/backups");
}

QString makeBackup(const QString& dbPath, const QString& command) {
    const QFileInfo db(dbPath);
    const QString folder = backupFolder(dbPath);
    if (!QDir().mkpath(folder))
        throw jet::Error(jet::ErrorKind::Io,
                         "Cannot create the backup folder \"" + folder.toStdString() + "\"");
    const QDateTime now =
        QDateTime::fromString(QDateTime::currentDateTime().toString(kStamp), kStamp);
    const QString base = db.completeBaseName() + u'-' + now.toString(kStamp);
    // Within one second the backups are numbered on (never reusing the number of one removed).
    int sequence = 0;
    for (const BackupInfo& b : listBackups(dbPath))
        if (b.when == now) sequence = std::max(sequence, b.sequence);
    QString name = sequence == 0 ? base : base + u'-' + QString::number(sequence + 1);
    for (int k = sequence + 2; QFileInfo::exists(folder + u'/' + name + QStringLiteral(".mdb"));
         ++k)
        name = base + u'-' + QString::number(k);
    const QString copy = folder + u'/' + name + QStringLiteral(".mdb");
    copyWholeFile(QFile::encodeName(db.absoluteFilePath()).toStdString(),
                  QFile::encodeName(copy).toStdString(), true);
    int topics = -1, questions = -1;
    try {
        auto opened = jet::Database::open(QFile::encodeName(copy).toStdString());
        topics = rowsOf(*opened, schema::kTema);
        questions = rowsOf(*opened, schema::kVoprosi);
    } catch (const jet::Error&) {
        // A damaged file is still worth keeping as it was; its counts stay unknown.
    }
    QFile text(folder + u'/' + name + QStringLiteral(".txt"));
    if (text.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream out(&text);
        out << command << '\n' << topics << '\n' << questions << '\n';
    }
    // The oldest go.
    std::vector<BackupInfo> all = listBackups(dbPath);
    for (size_t i = size_t(kMaxBackups); i < all.size(); ++i) {
        QFile::remove(all[i].path);
        QFile::remove(QFileInfo(all[i].path).path() + u'/' +
                      QFileInfo(all[i].path).completeBaseName() + QStringLiteral(".txt"));
    }
    return copy;
}

std::vector<BackupInfo> listBackups(const QString& dbPath) {
    const QString stem = QFileInfo(dbPath).completeBaseName();
    QDir dir(backupFolder(dbPath));
    std::vector<BackupInfo> out;
    for (const QFileInfo& f : dir.entryInfoList({QStringLiteral("*.mdb")}, QDir::Files)) {
        BackupInfo b;
        b.when = timeOf(f.completeBaseName(), stem, b.sequence);
        if (!b.when.isValid()) continue;
        b.path = f.absoluteFilePath();
        QFile text(f.path() + u'/' + f.completeBaseName() + QStringLiteral(".txt"));
        if (text.open(QIODevice::ReadOnly)) readDescription(text.readAll(), b);
        out.push_back(b);
    }
    std::sort(out.begin(), out.end(), [](const BackupInfo& a, const BackupInfo& b) {
        return a.when != b.when ? a.when > b.when : a.sequence > b.sequence;
    });
    return out;
}

void readDescription(const QByteArray& bytes, BackupInfo& b) {
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    if (lines.size() >= 3) {
        b.command = lines[0];
        bool ok1 = false, ok2 = false;
        b.topics = lines[1].toInt(&ok1);
        b.questions = lines[2].toInt(&ok2);
        if (!ok1) b.topics = -1;
        if (!ok2) b.questions = -1;
    }
}

QString describe(const BackupInfo& b) {
    auto count = [](int n) { return n < 0 ? QStringLiteral("?") : QString::number(n); };
    return QStringLiteral("%1 — %2: тем %3, вопросов %4")
        .arg(b.when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
             b.command.isEmpty() ? QStringLiteral("команда не указана") : b.command,
             count(b.topics), count(b.questions));
}

}  // namespace zn
