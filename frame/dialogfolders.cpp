// Last-used folders of the file dialogs, in the user's settings.
#include "frame/dialogfolders.h"

#include <QFileInfo>
#include <QSettings>

namespace zn {

namespace {

QString key(const QString& kind) {
    return QStringLiteral("folders/") + kind;
}

}  // namespace

QString dialogFolder(const QString& kind, const QString& fallback) {
    const QString folder = QSettings().value(key(kind)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

void rememberDialogFolder(const QString& kind, const QString& chosenFile) {
    if (chosenFile.isEmpty()) return;
    QSettings().setValue(key(kind), QFileInfo(chosenFile).absolutePath());
}

}  // namespace zn
