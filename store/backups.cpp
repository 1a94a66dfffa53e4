// Backups beside the database.
#include "store/backups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>
#include <algorithm>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "store/enginepath.h"
#include "store/filecopy.h"
#include "store/schema.h"

namespace zn {

namespace {

const QString kStamp = QStringLiteral("yyyy-MM-dd-HH-mm-ss");
// What a copy or description is called while it is being written.
const QString kPart = QStringLiteral(".part");

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

std::string local(const QString& path) {
    return enginePath(path);
}

QString descriptionOf(const BackupInfo& b) {
    return QFileInfo(b.path).path() + u'/' + QFileInfo(b.path).completeBaseName() +
           QStringLiteral(".txt");
}

// The description's bytes: the command, the topics, the questions, one a line.
std::string descriptionText(const QString& command, int topics, int questions) {
    QString text;
    QTextStream out(&text);
    out << command << '\n' << topics << '\n' << questions << '\n';
    out.flush();
    return text.toUtf8().toStdString();
}

// Whether `name` (a file name in the backup folder) is one of the database's backup names with
// `ext` (".mdb", ".txt"); `base` gets the name without the extension.
bool isBackupName(const QString& name, const QString& stem, const QString& ext, QString& base) {
    if (!name.endsWith(ext, Qt::CaseInsensitive)) return false;
    base = name.left(name.size() - ext.size());
    int sequence = 1;
    return timeOf(base, stem, sequence).isValid();
}

// Removes what interrupted backups left: temporary files, descriptions without their copy and
// copies without their description.
void removeLeftovers(const QString& dbPath) {
    const QString stem = QFileInfo(dbPath).completeBaseName();
    const QDir dir(backupFolder(dbPath));
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    const QSet<QString> present(names.begin(), names.end());
    bool removed = false;
    for (const QString& name : names) {
        QString base;
        bool leftover = false;
        if (name.endsWith(kPart)) {
            const QString whole = name.left(name.size() - kPart.size());
            leftover = isBackupName(whole, stem, QStringLiteral(".mdb"), base) ||
                       isBackupName(whole, stem, QStringLiteral(".txt"), base);
        } else if (isBackupName(name, stem, QStringLiteral(".txt"), base)) {
            leftover = !present.contains(base + QStringLiteral(".mdb"));
        } else if (isBackupName(name, stem, QStringLiteral(".mdb"), base)) {
            leftover = !present.contains(base + QStringLiteral(".txt"));
        }
        if (leftover && QFile::remove(dir.filePath(name))) removed = true;
    }
    if (!removed) return;
    try {
        syncFolderOf(local(dir.filePath(QStringLiteral("x"))));
    } catch (const jet::Error&) {
        // The removals are tidying only.
    }
}

[[noreturn]] void backupFailed(const QString& folder, const QString& command, const char* why) {
    throw jet::Error(jet::ErrorKind::Io,
                     QStringLiteral("Не удалось сделать резервную копию базы в папке «%1» (%2). "
                                    "Команда «%3» не выполнена, база данных не изменена.")
                         .arg(QDir::toNativeSeparators(folder), QString::fromUtf8(why), command)
                         .toStdString());
}

// The newest backup holds the state again: its description names `command` too.
void nameCommandToo(const BackupInfo& newest, const QString& command) {
    QStringList commands = newest.command.split(QStringLiteral(", "), Qt::SkipEmptyParts);
    if (commands.contains(command)) return;
    commands << command;
    const QString txt = descriptionOf(newest);
    writeWholeFile(local(txt + kPart), descriptionText(commands.join(QStringLiteral(", ")),
                                                       newest.topics, newest.questions));
    renameDurably(local(txt + kPart), local(txt));
}

}  // namespace

QString backupFolder(const QString& dbPath) {
    return QFileInfo(dbPath).absolutePath() + QStringLiteral("/backups");
}

QString makeBackup(const QString& dbPath, const QString& command) {
    const QFileInfo db(dbPath);
    const QString folder = backupFolder(dbPath);
    if (!QDir().mkpath(folder)) backupFailed(folder, command, "папку нельзя создать");
    removeLeftovers(dbPath);

    std::vector<BackupInfo> all = listBackups(dbPath);
    if (!all.empty() && sameContents(local(db.absoluteFilePath()), local(all.front().path))) {
        try {
            nameCommandToo(all.front(), command);
        } catch (const jet::Error& e) {
            QFile::remove(descriptionOf(all.front()) + kPart);
            backupFailed(folder, command, e.what());
        }
        return all.front().path;
    }

    const QDateTime now =
        QDateTime::fromString(QDateTime::currentDateTime().toString(kStamp), kStamp);
    const QString base = db.completeBaseName() + u'-' + now.toString(kStamp);
    // Within one second the backups are numbered on (never reusing the number of one removed).
    int sequence = 0;
    for (const BackupInfo& b : all)
        if (b.when == now) sequence = std::max(sequence, b.sequence);
    QString name = sequence == 0 ? base : base + u'-' + QString::number(sequence + 1);
    for (int k = sequence + 2; QFileInfo::exists(folder + u'/' + name + QStringLiteral(".mdb"));
         ++k)
        name = base + u'-' + QString::number(k);
    const QString copy = folder + u'/' + name + QStringLiteral(".mdb");
    const QString text = folder + u'/' + name + QStringLiteral(".txt");
    try {
        copyWholeFile(local(db.absoluteFilePath()), local(copy + kPart), true);
        int topics = -1, questions = -1;
        try {
            auto opened = jet::Database::open(local(copy + kPart));
            topics = rowsOf(*opened, schema::kTema);
            questions = rowsOf(*opened, schema::kVoprosi);
        } catch (const jet::Error&) {
            // A damaged file is still worth keeping as it was; its counts stay unknown.
        }
        // The description first: a copy in place always has one.
        writeWholeFile(local(text + kPart), descriptionText(command, topics, questions));
        renameDurably(local(text + kPart), local(text));
        renameDurably(local(copy + kPart), local(copy));
    } catch (const jet::Error& e) {
        for (const QString& f : {copy + kPart, text + kPart}) QFile::remove(f);
        if (!QFileInfo::exists(copy)) QFile::remove(text);
        backupFailed(folder, command, e.what());
    }

    // The oldest go, each copy before its description (a description alone is not a backup).
    all = listBackups(dbPath);
    for (size_t i = size_t(kMaxBackups); i < all.size(); ++i) {
        QFile::remove(all[i].path);
        QFile::remove(descriptionOf(all[i]));
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
        // Without its description the copy is what an interrupted backup left.
        if (!text.open(QIODevice::ReadOnly)) continue;
        readDescription(text.readAll(), b);
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

void checkBackup(const QString& path, const QString& shownName) {
    QString why;
    try {
        auto db = jet::Database::open(local(path));
        const jet::CheckReport report = jet::checkDatabase(*db);
        if (!report.ok()) why = QString::fromStdString(report.problems.front());
    } catch (const std::exception& e) {
        why = QString::fromUtf8(e.what());
    }
    if (why.isEmpty()) return;
    throw jet::Error(jet::ErrorKind::Corrupt,
                     QStringLiteral("Резервная копия «%1» повреждена, восстановить из неё базу "
                                    "нельзя (%2). База данных не изменена.")
                         .arg(shownName, why)
                         .toStdString());
}

}  // namespace zn
