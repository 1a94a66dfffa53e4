// Case-insensitive lookup of data-folder files: exact name first, then one pass over the folder.
#include "preview/datafiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <deque>
#include <mutex>

namespace zn {

namespace {

// `folder` followed by one "/" and `name`.
QString join(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(u'/')) return folder + name;
    return folder + u'/' + name;
}

// The names of a folder grouped by their case-folded form, each group in code-unit order, as
// read at one moment. A topic summary looks names up hundreds of times in the same folder, so
// the last few listings are kept and read again only when the folder changed: its modification
// time moves whenever an entry is added, removed or renamed. A listing taken less than two
// seconds after that time is not trusted (file systems from Windows keep coarse times).
struct Listing {
    QString path;
    qint64 modifiedMs = 0;
    bool settled = false;  // read two seconds or more after `modified`
    QHash<QString, QStringList> byFoldedName;
};

// The names in `folder` equal to `name` ignoring case, in code-unit order.
QStringList namesLike(const QString& folder, const QString& name) {
    constexpr size_t kKept = 4;
    static std::mutex mutex;
    static std::deque<Listing> kept;  // most recently used first

    const QString path = folder.isEmpty() ? QStringLiteral(".") : folder;
    const QFileInfo info(path);
    if (!info.isDir()) return {};
    const qint64 modifiedMs = info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
    const QString key = name.toCaseFolded();

    const std::lock_guard<std::mutex> lock(mutex);
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->path != path) continue;
        if (it->settled && it->modifiedMs == modifiedMs) {
            std::rotate(kept.begin(), it, it + 1);
            return kept.front().byFoldedName.value(key);
        }
        kept.erase(it);
        break;
    }

    Listing listing;
    listing.path = path;
    listing.modifiedMs = modifiedMs;
    const QStringList entries = QDir(path).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString& entryName : entries)
        listing.byFoldedName[entryName.toCaseFolded()] << entryName;
    for (QStringList& names : listing.byFoldedName) std::sort(names.begin(), names.end());
    listing.settled = QDateTime::currentMSecsSinceEpoch() - modifiedMs >= 2000;
    QStringList result = listing.byFoldedName.value(key);
    kept.push_front(std::move(listing));
    if (kept.size() > kKept) kept.pop_back();
    return result;
}

// The entry of `folder` named `name` ignoring case, the first in code-unit order; `name` itself
// when the exact entry exists or none matches. `folders` chooses subfolders or files.
QString matchEntry(const QString& folder, const QString& name, bool folders) {
    const QFileInfo exact(join(folder, name));
    if (exact.exists() && (folders ? exact.isDir() : exact.isFile())) return name;
    for (const QString& candidate : namesLike(folder, name)) {
        const QFileInfo info(join(folder, candidate));
        if (folders ? info.isDir() : info.isFile()) return candidate;
    }
    return name;
}

}  // namespace

QString dataFolderIn(const QString& parent) {
    return join(parent, matchEntry(parent, QStringLiteral("data"), true)) + u'/';
}

QString dataFileName(const QString& dataFolder, const QString& name) {
    if (name.isEmpty()) return {};
    const QStringList parts = name.split(u'/');
    QString folder = dataFolder;
    QStringList found;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        const bool last = i + 1 == parts.size();
        // Empty parts, "." and ".." are taken as written.
        const QString match = part.isEmpty() || part == u"." || part == u".."
                                  ? part
                                  : matchEntry(folder, part, !last);
        found << match;
        folder = join(folder, match);
    }
    return found.join(u'/');
}

QString dataFilePath(const QString& dataFolder, const QString& name) {
    if (name.isEmpty()) return {};
    return join(dataFolder, dataFileName(dataFolder, name));
}

}  // namespace zn
