// znbank: the editor's bulk commands for scripts and for converting many banks at once.
//   znbank export BANK.mdb FILE.txt    every topic, question and answer to an exchange file
//   znbank import BANK.mdb FILE.txt [--allow-empty]
//                                      the file's topics, questions and answers replace the bank's;
//                                      a file that yields none is refused unless --allow-empty
//   znbank compact BANK.mdb            compacts the database file in place
//   znbank delete-all BANK.mdb         deletes every topic, question and answer, then compacts
//   znbank info BANK.mdb               prints the five information records
//   znbank backups BANK.mdb            prints the bank's backups, newest first: the file, then
//                                      what the editor's list shows, tab-separated
//   znbank restore BANK.mdb BACKUP.mdb puts a backup in place of the bank (checked first)
//   znbank check BANK.mdb [--data DIR] prints the bank's problems, one a line (kind, topic,
//                                      question, row id, description, tab-separated); exit
//                                      status 1 when there is any. DIR (pictures) defaults to
//                                      the "data" folder beside the bank.
// The same command code, rules and messages as the editor's buttons (a bank another program
// holds, a read-only or damaged file are said in the editor's Russian); import, compact,
// delete-all and restore first copy the bank into "backups" beside it, as the editor does, and
// only once the command is sure to run. Messages go to
// standard error. Exit status 1 on failure, with the database unchanged; a compaction that fails
// after an import or a deletion has landed is reported and the status stays 0.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <exception>

#include "bulk/deleteall.h"
#include "bulk/filecommand.h"
#include "bulk/importexport.h"
#include "bulk/inforecords.h"
#ifdef ZN_BANK_CHECK
#include "preview/datafiles.h"
#include "problems/bankcheck.h"
#endif
#include "store/backups.h"
#include "store/tdatmod.h"

namespace {

void printErr(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Messages of the commands on standard error; the status bar and progress bar are not shown.
class ErrFeedback : public zn::Feedback {
  public:
    void message(Box kind, const QString& text) override {
        (void)kind;
        printErr(QStringLiteral("znbank: ") + text);
        ++messages;
    }
    // The only question is whether a file that yields nothing may empty the bank.
    bool ask(const QString& question) override {
        (void)question;
        return allowEmpty;
    }
    int messages = 0;
    bool allowEmpty = false;
};

int usage() {
    std::fprintf(stderr,
                 "usage:\n"
                 "  znbank export BANK.mdb FILE.txt\n"
                 "  znbank import BANK.mdb FILE.txt [--allow-empty]\n"
                 "  znbank compact BANK.mdb\n"
                 "  znbank delete-all BANK.mdb\n"
                 "  znbank info BANK.mdb\n"
                 "  znbank backups BANK.mdb\n"
                 "  znbank restore BANK.mdb BACKUP.mdb\n"
                 "  znbank check BANK.mdb [--data FOLDER]\n");
    return 2;
}

// Opens the bank as the editor does (for writing), or for reading only.
void open(TDatMod& dm, const QString& path, bool readOnly) {
    const QString connection =
        readOnly ? QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\";Mode=Read")
                       .arg(QString(path).replace(u'"', QStringLiteral("\"\"")))
                 : TDatMod::connectionString(path);
    dm.Conn.close();
    dm.Conn.setConnectionString(connection);
    dm.Conn.open();
    dm.qrtema.open();
    dm.tbSettings.open();
}

#ifdef ZN_BANK_CHECK
// The problem check: one line per problem on standard output; 1 when there is any.
int check(const QStringList& args) {
    QString data;
    if (args.size() == 4 && args[2] == u"--data")
        data = QDir(args[3]).absolutePath() + u'/';
    else if (args.size() != 2)
        return usage();
    const QString bank = QFileInfo(args[1]).absoluteFilePath();
    if (data.isEmpty()) data = zn::dataFolderIn(QFileInfo(bank).absolutePath());
    TDatMod dm;
    open(dm, bank, true);
    const auto problems = zn::problems::check(zn::problems::readBankRows(dm.Conn.database()), data);
    for (const auto& p : problems)
        std::printf("%s\n", zn::problems::problemLine(p).toLocal8Bit().constData());
    return problems.empty() ? 0 : 1;
}
#endif

int run(const QStringList& args) {
    if (args.size() < 2) return usage();
#ifdef ZN_BANK_CHECK
    if (args[0] == u"check") return check(args);
#endif
    QStringList rest = args;
    const QString command = rest.takeFirst();
    const bool allowEmpty = command == u"import" && rest.removeAll(QStringLiteral("--allow-empty"));
    const bool withFile = command == u"export" || command == u"import" || command == u"restore";
    if (rest.size() != (withFile ? 2 : 1)) return usage();
    if (!withFile && command != u"compact" && command != u"delete-all" && command != u"info" &&
        command != u"backups")
        return usage();

    const QString bank = QFileInfo(rest[0]).absoluteFilePath();
    if (command == u"backups") {
        for (const zn::BackupInfo& b : zn::listBackups(bank))
            std::printf("%s\n", (b.path + u'\t' + zn::describe(b)).toLocal8Bit().constData());
        return 0;
    }
    zn::Session session{QDir::currentPath() + QStringLiteral("/data/"), bank};
    ErrFeedback feedback;
    feedback.allowEmpty = allowEmpty;
    TDatMod dm;
    dm.history.setEnabled(false);  // nothing here can be undone; backups are still taken
    open(dm, bank, command == u"export" || command == u"info");

    if (command == u"export") {
        zn::BankExchange exchange(dm, feedback, session, {});
        if (!exchange.exportTo(rest[1]))
            printErr(QStringLiteral("znbank: в базе нет тем, файл не записан"));
    } else if (command == u"import") {
        zn::BankExchange exchange(dm, feedback, session, {});
        if (!exchange.importFrom(rest[1])) {
            printErr(QStringLiteral("znbank: ") + zn::BankExchange::emptyFileQuestion() +
                     QStringLiteral(" Нет: база не изменена (удалить все данные можно, добавив "
                                    "--allow-empty)."));
            return 1;
        }
    } else if (command == u"restore") {
        zn::restoreFromBackup(dm, bank, QFileInfo(rest[1]).absoluteFilePath());
    } else if (command == u"delete-all") {
        zn::BulkDeletion(dm, feedback, session).Deletezap();
    } else if (command == u"compact") {
        return zn::BulkDeletion(dm, feedback, session).Compact() ? 0 : 1;
    } else {
        const zn::InfoRecords records = zn::readInfoRecords(dm);
        const auto& labels = zn::InfoRecords::labels();
        for (int k = 0; k < zn::InfoRecords::kCount; ++k) {
            QString value = records.values[size_t(k)];
            value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            value.replace(u'\n', QStringLiteral("\n    "));
            const QString line = (k < records.rows ? labels[size_t(k)] + u' ' + value
                                                   : labels[size_t(k)] + QStringLiteral(" —"));
            std::printf("%s\n", line.toLocal8Bit().constData());
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    try {
        return run(args);
    } catch (const std::exception& e) {
        printErr(QStringLiteral("znbank: ") + QString::fromUtf8(e.what()));
        return 1;
    }
}
