// Whole-process benchmark of the import of an exchange file, step by step.
//   bulk_import BANK.mdb FILE.txt
//       imports FILE into BANK as the editor's import does and prints the wall time of each
//       step: reading and checking the file, the write scope (deleting the old bank, storing the
//       new one, the commit), and the compaction with the reopening.
//   bulk_import --prepare SOURCE.mdb FILE.txt
//       writes SOURCE's bank as an exchange file with the line breaks inside texts turned into
//       blanks, so that it reads back (the export itself keeps them, and such a file is refused).
// bench/commands.sh runs it under GNU time.
#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <exception>

#include "bulk/importexport.h"
#include "store/tdatmod.h"

namespace {

QString oneLine(QString s) {
    s.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return s.replace(u'\r', u' ').replace(u'\n', u' ');
}

int prepare(const QString& source, const QString& out) {
    zn::TDatMod dm;
    zn::Feedback fb;
    zn::Session session{QString(), source};
    dm.Conn.setConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\";Mode=Read")
            .arg(source));
    dm.Conn.open();
    dm.qrtema.open();
    zn::BankExchange x(dm, fb, session, {});
    zn::exchange::Bank bank = x.readBank();
    for (auto& q : bank.questions) {
        q.vopros = oneLine(q.vopros);
        for (auto& a : q.answers) a.otvet = oneLine(a.otvet);
    }
    QFile f(out);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(zn::exchange::format(bank));
    std::printf("%zu topics, %zu questions\n", bank.topics.size(), bank.questions.size());
    return 0;
}

// Wall and processor time of one step (the machine may be shared, so both are given).
struct Clock {
    QElapsedTimer wall;
    double cpu0 = 0;
    static double cpu() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }
    void start() {
        wall.start();
        cpu0 = cpu();
    }
    QString lap() {
        const QString s = QStringLiteral("%1 s (cpu %2 s)")
                              .arg(double(wall.nsecsElapsed()) / 1e9, 0, 'f', 3)
                              .arg(cpu() - cpu0, 0, 'f', 3);
        start();
        return s;
    }
};

int import(const QString& path, const QString& file) {
    zn::TDatMod dm;
    zn::Feedback fb;
    zn::Session session{QString(), path};
    dm.connectTo(path);
    dm.qrtema.open();
    dm.tbSettings.open();
    zn::BankExchange x(dm, fb, session, {});
    Clock c;
    c.start();
    const zn::exchange::Bank bank = x.checkedBank(zn::BankExchange::readFile(file));
    const QString check = c.lap();
    x.replaceBank(bank);
    const QString write = c.lap();
    x.finishImport();
    const QString compact = c.lap();
    std::printf("read+check %s; delete+store+commit %s; compaction+reopen %s\n", qPrintable(check),
                qPrintable(write), qPrintable(compact));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    try {
        if (args.size() == 4 && args[1] == QStringLiteral("--prepare"))
            return prepare(args[2], args[3]);
        if (args.size() == 3) return import(args[1], args[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bulk_import: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: bulk_import BANK.mdb FILE.txt | --prepare SOURCE.mdb FILE.txt\n");
    return 2;
}
