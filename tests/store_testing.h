// Helpers for the data module's tests: writable copies of the shared fixtures, a working
// directory switch, and checks of the messages errors carry.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <functional>
#include <string>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "tests/support/qtprint.h"
#include "tests/support/testsupport.h"

namespace storetest {

// A writable copy of fixture `name` in a fresh temporary folder, as `as` (default: same name).
inline QString copyOfFixture(const std::string& name, const std::string& as = "") {
    std::string dir = zntest::tempDir();
    std::string base = as.empty() ? name.substr(name.find_last_of('/') + 1) : as;
    std::string to = dir + "/" + base;
    zntest::copyFile(zntest::fixture(name), to);
    return QString::fromStdString(to);
}

// Switches the current directory for the lifetime of the object.
class CurrentDir {
  public:
    explicit CurrentDir(const QString& dir) : old_(QDir::currentPath()) { QDir::setCurrent(dir); }
    ~CurrentDir() { QDir::setCurrent(old_); }

  private:
    QString old_;
};

// The message of the jet::Error `f` throws, or "(no error)".
inline std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return e.what();
    }
    return "(no error)";
}

inline std::string utf8(const QString& s) {
    return s.toStdString();
}

// The database file at `path` passes the engine's integrity check (close connections first).
inline void expectIntact(const QString& path) {
    auto db = jet::Database::open(path.toStdString());
    jet::CheckReport r = jet::checkDatabase(*db);
    std::string problems;
    for (const std::string& p : r.problems) problems += p + "\n";
    EXPECT_TRUE(r.ok()) << problems;
}

}  // namespace storetest
