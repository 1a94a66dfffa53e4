// The commands that replace the bank, killed and starved of disk as a real process: znbank runs
// under strace, which kills it at the N-th call of each system call that changes a file (every
// write, sync, rename, unlink and truncate of an import, a deletion of everything, a compaction
// and a restore), or makes its writes and syncs fail with "no space left on device" from any
// one of them on. Afterwards the bank is byte for byte as before the command or as after it (for
// an import and a deletion also as after its commit but before the compaction: the command's
// effect has landed, the compaction has not), and the backups folder holds only whole backups,
// each listed and passing `jettool check`; what an interrupted backup left is only ever a
// temporary file or a description without its copy, and the next backup removes it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "formats/exchange.h"
#include "jet/database.h"
#include "store/backups.h"
#include "tests/bulk_testing.h"

namespace {

using Bytes = QByteArray;

// The calls that change files, as strace names them on this system.
const QStringList kChanging = {"write",     "pwrite64",  "pwritev",  "writev",
                               "fsync",     "fdatasync", "rename",   "renameat",
                               "renameat2", "unlink",    "unlinkat", "ftruncate"};

QString strace() {
    return QStandardPaths::findExecutable(QStringLiteral("strace"));
}

// Why strace cannot run here ("" when it can).
QString straceMissing() {
    if (strace().isEmpty())
        return QStringLiteral("strace is not installed (tools/setup.sh installs it)");
    const auto r = zntest::run({strace().toStdString(), "-o", "/dev/null", "true"});
    if (r.exitCode != 0)
        return QStringLiteral("strace cannot trace here: ") + QString::fromStdString(r.err);
    return {};
}

// A folder with the bank, the exchange file and the backups, copied afresh for every run.
struct Folder {
    QString dir;
    QString bank() const { return dir + "/bank.mdb"; }
    QString txt() const { return dir + "/file.txt"; }
    QString backups() const { return zn::backupFolder(bank()); }
};

Folder copyOf(const Folder& from) {
    Folder to{QString::fromStdString(zntest::tempDir())};
    std::filesystem::copy(from.dir.toStdString(), to.dir.toStdString(),
                          std::filesystem::copy_options::recursive);
    return to;
}

struct Traced {
    zntest::CommandResult result;
    QStringList calls;  // "name(arguments" of each changing call, in order
};

// Runs znbank `args` (the bank's folder standing for "%D") under strace with `options`.
Traced underStrace(const Folder& s, const QStringList& args, const QStringList& options,
                   bool log = false) {
    const QString logFile = s.dir + "/../strace.log";
    std::vector<std::string> argv{strace().toStdString(), "-f", "-qq", "-o",
                                  log ? logFile.toStdString() : "/dev/null"};
    for (const QString& o : options) argv.push_back(o.toStdString());
    argv.push_back(ZN_ZNBANK);
    for (QString a : args) argv.push_back(a.replace("%D", s.dir).toStdString());
    Traced t;
    t.result = zntest::run(argv);
    if (log) {
        static const QRegularExpression call(QStringLiteral("^\\d+\\s+(\\w+)\\((.*)$"));
        for (const QString& line : QString::fromUtf8(bulktest::bytesOf(logFile)).split(u'\n')) {
            const auto m = call.match(line);
            if (m.hasMatch() && kChanging.contains(m.captured(1)))
                t.calls << m.captured(1) + u'(' + m.captured(2);
        }
    }
    return t;
}

// The file as a program opening it next sees it: an interrupted commit's journal played back.
Bytes settled(const QString& bank) {
    {
        jet::OpenOptions o;
        o.writable = true;
        auto db = jet::Database::open(bank.toStdString(), o);
    }
    return bulktest::bytesOf(bank);
}

// The backups folder holds whole backups only: every copy has its description, is listed and
// passes the check; besides them only temporary files and descriptions whose copy never came.
// With `tidy` not even those.
void expectWholeBackups(const Folder& s, bool tidy) {
    std::set<QString> listed;
    for (const zn::BackupInfo& b : zn::listBackups(s.bank())) {
        listed.insert(QFileInfo(b.path).fileName());
        const auto check = zntest::run({ZN_JETTOOL, "check", b.path.toStdString()});
        EXPECT_EQ(check.exitCode, 0) << b.path.toStdString() << "\n" << check.out << check.err;
        EXPECT_FALSE(b.command.isEmpty());
        EXPECT_GE(b.questions, 0);
    }
    for (const QString& name : QDir(s.backups()).entryList(QDir::Files)) {
        if (name.endsWith(".mdb")) {
            EXPECT_TRUE(listed.count(name)) << name.toStdString() << " is not a whole backup";
        } else if (name.endsWith(".txt")) {
            const QString copy = name.chopped(4) + ".mdb";
            EXPECT_TRUE(!tidy || listed.count(copy)) << name.toStdString() << " is left alone";
        } else {
            EXPECT_TRUE(!tidy && name.endsWith(".part")) << name.toStdString();
        }
    }
}

struct Scenario {
    const char* name;
    QStringList args;
    bool compacts;  // an import or a deletion: its commit lands before the compaction
};

// The numbers 1..count, all of them up to `most`, else `most` of them spread evenly (always the
// first and the last).
std::vector<int> sample(int count, int most) {
    std::vector<int> out;
    if (count <= most) {
        for (int n = 1; n <= count; ++n) out.push_back(n);
        return out;
    }
    for (int k = 0; k < most; ++k) out.push_back(1 + int(qint64(k) * (count - 1) / (most - 1)));
    return out;
}

class Crash : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const QString why = straceMissing(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
        base.dir = QString::fromStdString(zntest::tempDir());
        // The state a restore brings back, kept as a backup; then the bank as it is now.
        edtest::makeBank(base.bank(), {edtest::topic("Старая", 3), edtest::topic("Ещё одна", 2)});
        restorable = zn::makeBackup(base.bank(), QStringLiteral("проверка"));
        QFile::remove(base.bank());
        edtest::makeBank(base.bank(), {edtest::topic("Механика", 4), edtest::topic("Оптика", 3),
                                       edtest::topic("Пустая", 0)});
        zn::exchange::Bank file;
        file.topics = {{1, "Новая", 0}, {2, "Другая", 0}};
        for (int q = 1; q <= 12; ++q)
            file.questions.push_back(
                {1 + q % 2, q, QString(200, u'в'), 1, 2, {}, {{1, "да", 0}, {2, "нет", 0}}});
        bulktest::writeBytes(base.txt(), zn::exchange::format(file));
    }

    std::vector<Scenario> scenarios() const {
        return {
            {"import", {"import", "%D/bank.mdb", "%D/file.txt"}, true},
            {"delete-all", {"delete-all", "%D/bank.mdb"}, true},
            {"compact", {"compact", "%D/bank.mdb"}, false},
            {"restore",
             {"restore", "%D/bank.mdb", "%D/backups/" + QFileInfo(restorable).fileName()},
             false},
        };
    }

    // A run to the end, traced (what it calls), and the states the bank may be left in: before,
    // after (the same each time, or "after" would mean nothing) and, for an import or a deletion,
    // the commit landed with the compaction's rename failed (what a stop between them leaves).
    struct Learned {
        Traced traced;
        Bytes before, after;
        std::set<Bytes> allowed;
    };
    void learn(const Scenario& sc, Learned& out) const {
        out.before = bulktest::bytesOf(base.bank());
        const Folder clean = copyOf(base);
        out.traced =
            underStrace(clean, sc.args, {"-y", "-e", "trace=" + kChanging.join(',')}, true);
        ASSERT_EQ(out.traced.result.exitCode, 0) << out.traced.result.err;
        out.after = bulktest::bytesOf(clean.bank());
        {
            const Folder again = copyOf(base);
            underStrace(again, sc.args, {});
            ASSERT_EQ(bulktest::bytesOf(again.bank()), out.after)
                << "the command is not deterministic";
        }
        out.allowed = {out.before, out.after};
        if (!sc.compacts) return;
        std::map<QString, int> seen;
        int compaction = 0;
        QString call;
        for (const QString& c : out.traced.calls) {
            const QString name = c.left(c.indexOf(u'('));
            const int n = ++seen[name];
            if (name.startsWith("rename") && c.contains("/bank.mdb\"")) compaction = n, call = name;
        }
        ASSERT_GT(compaction, 0) << out.traced.calls.join('\n').toStdString();
        const Folder mid = copyOf(base);
        const Traced t = underStrace(
            mid, sc.args, {"-e", QString("inject=%1:error=EIO:when=%2").arg(call).arg(compaction)});
        EXPECT_EQ(t.result.exitCode, 0) << t.result.err;
        out.allowed.insert(settled(mid.bank()));
    }

    Folder base;
    QString restorable;
};

TEST_F(Crash, AKillAtAnyChangeOfAFileLeavesTheBankBeforeOrAfterAndWholeBackups) {
    int runs = 0;
    for (const Scenario& sc : scenarios()) {
        SCOPED_TRACE(sc.name);
        Learned l;
        learn(sc, l);
        if (HasFatalFailure()) return;
        const Bytes& before = l.before;
        const Bytes& after = l.after;
        const Traced& traced = l.traced;
        const std::set<Bytes>& allowed = l.allowed;

        std::map<QString, int> counts;
        for (const QString& c : traced.calls) ++counts[c.left(c.indexOf(u'('))];
        std::map<int, int> outcomes;  // 0 before, 1 after, 2 between
        for (const auto& [call, count] : counts) {
            for (int n : sample(count, 24)) {
                SCOPED_TRACE(QString("killed at %1 number %2 of %3")
                                 .arg(call)
                                 .arg(n)
                                 .arg(count)
                                 .toStdString());
                const Folder run = copyOf(base);
                underStrace(run, sc.args,
                            {"-e", QString("inject=%1:signal=SIGKILL:when=%2").arg(call).arg(n)});
                ++runs;
                const Bytes now = settled(run.bank());
                EXPECT_TRUE(allowed.count(now)) << "the bank is neither before nor after";
                ++outcomes[now == before ? 0 : now == after ? 1 : 2];
                expectWholeBackups(run, false);
                // The next backup clears what the killed one left.
                const auto next = zntest::run({ZN_ZNBANK, "compact", run.bank().toStdString()});
                EXPECT_EQ(next.exitCode, 0) << next.err;
                expectWholeBackups(run, true);
                if (HasFailure()) return;
            }
        }
        EXPECT_GT(outcomes[0], 0);
        EXPECT_GT(outcomes[1], 0);
        std::cout << sc.name << " calls:";
        for (const auto& [call, count] : counts)
            std::cout << ' ' << call.toStdString() << ' ' << count;
        std::cout << "\n"
                  << sc.name << ": " << outcomes[0] << " kills left the bank before, "
                  << outcomes[1] << " after, " << outcomes[2] << " between\n";
    }
    std::cout << runs << " runs killed\n";
}

// The disk full from some write on, for every write, sync and truncate of the command in turn
// (each such call from there on fails with "no space left on device"): a command that fails
// leaves the bank as it was, one that succeeds as after it, and the backups folder holds whole
// backups only; once there is room again the next backup leaves nothing else. When the disk
// fills up while the backup is written, the command stops before it changes anything, saying
// that the backup could not be made and why, and nothing of that backup is left.
TEST_F(Crash, AFullDiskAtAnyWriteLeavesTheBankBeforeOrAfterAndWholeBackups) {
    // Files are written with positioned writes only; plain write() is left alone, so that the
    // messages on standard error get through.
    const QStringList filling = {"pwrite64", "pwritev", "fsync", "fdatasync", "ftruncate"};
    int runs = 0;
    for (const Scenario& sc : scenarios()) {
        SCOPED_TRACE(sc.name);
        Learned l;
        learn(sc, l);
        if (HasFatalFailure()) return;
        const QStringList listedBefore = [&] {
            QStringList out;
            for (const auto& b : zn::listBackups(base.bank())) out << QFileInfo(b.path).fileName();
            return out;
        }();
        // Each call that writes is a point where the disk may fill up; `counts` says how many
        // of each kind came before it.
        std::map<QString, int> counts;
        int backupFailures = 0;
        for (const QString& c : l.traced.calls) {
            const QString name = c.left(c.indexOf(u'('));
            if (!filling.contains(name)) continue;
            const int n = ++counts[name];
            const bool inBackup = c.contains("/backups/") && c.contains(".part>");
            SCOPED_TRACE(
                QString("disk full from %1 number %2: %3").arg(name).arg(n).arg(c).toStdString());
            QStringList options;
            for (const QString& call : filling) {
                const int from = call == name ? n : (counts.count(call) ? counts.at(call) + 1 : 1);
                options << "-e" << QString("inject=%1:error=ENOSPC:when=%2+").arg(call).arg(from);
            }
            const Folder run = copyOf(base);
            const Traced t = underStrace(run, sc.args, options);
            ++runs;
            const Bytes now = settled(run.bank());
            if (t.result.exitCode != 0) {
                EXPECT_EQ(t.result.exitCode, 1) << t.result.err;
                // Once the new file has the bank's name, only making that name durable can
                // fail: the bank is then as after, and the failure is said.
                const std::string folder = QFileInfo(run.bank()).absolutePath().toStdString();
                const bool landed = now == l.after &&
                                    t.result.err.find("folder") != std::string::npos &&
                                    t.result.err.find(folder) != std::string::npos;
                EXPECT_TRUE(now == l.before || landed) << "a failed command changed the bank\n"
                                                       << t.result.err;
                // The message names the cause, not what reading a half-written file gave next.
                EXPECT_NE(t.result.err.find("No space left on device"), std::string::npos)
                    << t.result.err;
            } else {
                EXPECT_TRUE(l.allowed.count(now)) << "the bank is neither before nor after";
            }
            if (inBackup) {
                ++backupFailures;
                EXPECT_EQ(t.result.exitCode, 1);
                EXPECT_NE(t.result.err.find("Не удалось сделать резервную копию базы"),
                          std::string::npos)
                    << t.result.err;
                QStringList listed;
                for (const auto& b : zn::listBackups(run.bank()))
                    listed << QFileInfo(b.path).fileName();
                EXPECT_EQ(listed, listedBefore);
                EXPECT_EQ(QDir(run.backups()).entryList(QDir::Files).size(),
                          2 * listedBefore.size());
            }
            expectWholeBackups(run, false);
            const auto next = zntest::run({ZN_ZNBANK, "compact", run.bank().toStdString()});
            EXPECT_EQ(next.exitCode, 0) << next.err;
            expectWholeBackups(run, true);
            if (HasFailure()) return;
        }
        // The copy's writes and sync and the description's write at least.
        EXPECT_GE(backupFailures, 3);
    }
    std::cout << runs << " runs with the disk full\n";
}

}  // namespace
