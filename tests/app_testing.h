// Shared by the Qt tests that bring the whole program up: the shared fixtures, and the working
// folder a test runs the program in.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/startup.h"

namespace apptest {

inline QString fixturesDir() {
    return QStringLiteral(ZN_FIXTURES_DIR);
}

inline bool haveFixtures() {
    return QFile::exists(fixturesDir() + QStringLiteral("/sample-test.mdb"));
}

// A writable copy of a fixture (the shared files are read-only, and copies keep that).
inline void copyFixture(const QString& name, const QString& to) {
    QFile::remove(to);
    QVERIFY2(QFile::copy(fixturesDir() + u'/' + name, to), qPrintable(to));
    QVERIFY(QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner));
}

// The working folder of the program under test: "рабочая папка" (a blank and Cyrillic letters,
// as users have them) in a fresh temporary folder, the current folder between enter() and
// leave().
class WorkFolder {
  public:
    void enter() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        path_ = dir_->path() + QStringLiteral("/рабочая папка");
        QVERIFY(QDir().mkpath(path_));
        oldCurrent_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(path_));
    }
    void leave() {
        if (!oldCurrent_.isEmpty()) QDir::setCurrent(oldCurrent_);
        oldCurrent_.clear();
        dir_.reset();
    }
    const QString& path() const { return path_; }
    // The temporary folder around it, for other files of a test.
    QString outside() const { return dir_->path(); }

    // Brings the program up on a copy of `fixture` as test.mdb; `beforeShow` runs between its
    // creation and its first show. Null when the creation failed.
    std::unique_ptr<zn::Program> startOn(const QString& fixture,
                                         const std::function<void(zn::Program&)>& beforeShow = {}) {
        copyFixture(fixture, path_ + QStringLiteral("/test.mdb"));
        auto p = std::make_unique<zn::Program>();
        if (!p->create()) return nullptr;
        if (beforeShow) beforeShow(*p);
        p->show();
        return p;
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;
    QString oldCurrent_;
};

}  // namespace apptest
