// Case-insensitive lookup of data-folder files: exact name first, then one pass over the folder.
#include "preview/datafiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

namespace zn {

namespace {

// `folder` followed by one "/" and `name`.
QString join(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(u'/')) return folder + name;
    return folder + u'/' + name;
}

// The entry of `folder` named `name` ignoring case, the first in code-unit order; `name` itself
// when the exact entry exists or none matches. `folders` chooses subfolders or files.
QString matchEntry(const QString& folder, const QString& name, bool folders) {
    const QFileInfo exact(join(folder, name));
    if (exact.exists() && (folders ? exact.isDir() : exact.isFile())) return name;
    QString best;
    const QDir::Filters filter =
        (folders ? QDir::Dirs : QDir::Files) | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QDirIterator it(folder.isEmpty() ? QStringLiteral(".") : folder, filter);
    while (it.hasNext()) {
        it.next();
        const QString candidate = it.fileName();
        if (candidate.compare(name, Qt::CaseInsensitive) != 0) continue;
        if (folders ? !it.fileInfo().isDir() : !it.fileInfo().isFile()) continue;
        if (best.isEmpty() || candidate < best) best = candidate;
    }
    return best.isEmpty() ? name : best;
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
