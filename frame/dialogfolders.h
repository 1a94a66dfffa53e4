// The folder a file dialog opens in for one kind of file: the folder of the last file of that
// kind the person chose, kept in the user's settings across runs.
#pragma once

#include <QString>

namespace zn {

// Where the dialog for `kind` ("exchange", …) opens: the folder of the last file chosen for it
// when that folder still exists, else `fallback`.
QString dialogFolder(const QString& kind, const QString& fallback);
// Remembers the folder of `chosenFile` for `kind` (an empty path, a cancelled dialog, is
// ignored).
void rememberDialogFolder(const QString& kind, const QString& chosenFile);

}  // namespace zn
