// File names between Qt and the engine. The engine takes the system's bytes on POSIX systems
// (what QFile::encodeName gives) and UTF-8 on Windows, where the system's 8-bit code page
// cannot hold every name.
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace zn {

inline std::string enginePath(const QString& path) {
#ifdef _WIN32
    return path.toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

inline QString fromEnginePath(const std::string& path) {
#ifdef _WIN32
    return QString::fromStdString(path);
#else
    return QFile::decodeName(path.c_str());
#endif
}

}  // namespace zn
