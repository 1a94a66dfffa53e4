// Construction of engine errors.
#include "jet/error.h"

#include <cerrno>

namespace jet {

void throwCorrupt(int64_t page, const std::string& what, const char* where, int line) {
    std::string msg = "The database file is damaged: " + what;
    if (page >= 0) msg += " (page " + std::to_string(page) + ")";
    Error e(ErrorKind::Corrupt, msg, page);
    std::string file = where;
    if (auto slash = file.find_last_of('/'); slash != std::string::npos)
        file = file.substr(slash + 1);
    e.setWhere(file + ":" + std::to_string(line));
    throw e;
}

bool Error::permissionDenied() const {
    return sysError_ == EACCES || sysError_ == EPERM || sysError_ == EROFS;
}

void throwError(ErrorKind kind, const std::string& message, int64_t page) {
    throw Error(kind, message, page);
}

}  // namespace jet
