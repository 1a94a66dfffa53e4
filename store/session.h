// The open session's two paths, owned by the program and handed to every area that needs them:
// the data folder (question pictures and the preview's background pictures) and the full path
// of the open database file.
#pragma once

#include <QString>

namespace zn {

struct Session {
    // The folder "data" under the working directory at start-up, ending with the separator.
    QString dataFolder;
    // Full path of the open database file.
    QString databasePath;
};

}  // namespace zn
