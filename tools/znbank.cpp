// znbank: the editor's bulk commands for scripts and for converting many banks at once.
//   znbank export BANK.mdb FILE.txt    every topic, question and answer to an exchange file
//   znbank import BANK.mdb FILE.txt    the file's topics, questions and answers replace the bank's
//   znbank compact BANK.mdb            compacts the database file in place
//   znbank delete-all BANK.mdb         deletes every topic, question and answer, then compacts
//   znbank info BANK.mdb               prints the five information records
//   znbank check BANK.mdb [--data DIR] prints the bank's problems, one a line (kind, topic,
//                                      question, row id, description, tab-separated); exit
//                                      status 1 when there is any. DIR (pictures) defaults to
//                                      the "data" folder beside the bank.
//   znbank pdf BANK.mdb OUT.pdf [--topics 1,3] [--variant N [--seed S] [--copies K]] [--key]
//              [--no-pictures] [--data DIR]
//                                      the bank (or the topics numbered 1 and 3) on A4 pages;
//                                      with --variant, K variants (default 1) of N questions
//                                      drawn from each topic with shuffled answers, variant k
//                                      from seed S+k-1 (S chosen and told when not given);
//                                      --key adds the answer key. Pictures missing from DIR
//                                      are framed on the page and listed; exit status 0.
// The same command code, rules and messages as the editor's buttons; import, compact and
// delete-all first copy the bank into "backups" beside it, as the editor does. Messages go to
// standard error. Exit status 1 on failure, with the database unchanged; a compaction that fails
// after an import or a deletion has landed is reported and the status stays 0.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <exception>
#include <memory>
#ifdef ZN_BANK_PDF
#include <QGuiApplication>
#endif

#include "bulk/deleteall.h"
#include "bulk/importexport.h"
#include "bulk/inforecords.h"
#ifdef ZN_BANK_CHECK
#include "preview/datafiles.h"
#include "problems/bankcheck.h"
#endif
#ifdef ZN_BANK_PDF
#include "print/pictures.h"
#include "print/render.h"
#include "print/source.h"
#endif
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
    int messages = 0;
};

int usage() {
    std::fprintf(stderr,
                 "usage:\n"
                 "  znbank export BANK.mdb FILE.txt\n"
                 "  znbank import BANK.mdb FILE.txt\n"
                 "  znbank compact BANK.mdb\n"
                 "  znbank delete-all BANK.mdb\n"
                 "  znbank info BANK.mdb\n"
                 "  znbank check BANK.mdb [--data FOLDER]\n"
                 "  znbank pdf BANK.mdb OUT.pdf [--topics 1,3] [--variant N [--seed S] "
                 "[--copies K]]\n"
                 "             [--key] [--no-pictures] [--data FOLDER]\n");
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
    dm.reopen();
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

#ifdef ZN_BANK_PDF
// A whole number from `min` up, or -1.
qint64 number(const QString& text, qint64 min, qint64 max) {
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    return ok && v >= min && v <= max ? v : -1;
}

// The bank, chosen topics or variants as a PDF file.
int pdf(const QStringList& args) {
    if (args.size() < 3) return usage();
    zn::print::Options options;
    QString data;
    bool variant = false, seedGiven = false, copiesGiven = false;
    for (qsizetype i = 3; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == u"--key") {
            options.key = true;
        } else if (a == u"--no-pictures") {
            options.pictures = false;
        } else if (a == u"--data" && hasValue) {
            data = QDir(args[++i]).absolutePath() + u'/';
        } else if (a == u"--topics" && hasValue) {
            for (const QString& part : args[++i].split(u',', Qt::SkipEmptyParts)) {
                const qint64 t = number(part.trimmed(), 1, 1 << 30);
                if (t < 0) return usage();
                options.topics.push_back(t);
            }
            if (options.topics.empty()) return usage();
        } else if (a == u"--variant" && hasValue) {
            variant = true;
            options.perTopic = int(number(args[++i], 1, 100000));
            if (options.perTopic < 0) return usage();
        } else if (a == u"--seed" && hasValue) {
            const qint64 s = number(args[++i], 0, 0xFFFFFFFFll);
            if (s < 0) return usage();
            options.seed = quint32(s);
            seedGiven = true;
        } else if (a == u"--copies" && hasValue) {
            options.variants = int(number(args[++i], 1, 1000));
            if (options.variants < 0) return usage();
            copiesGiven = true;
        } else {
            return usage();
        }
    }
    if ((seedGiven || copiesGiven) && !variant) return usage();
    options.scope = variant                  ? zn::print::Scope::Variants
                    : options.topics.empty() ? zn::print::Scope::Bank
                                             : zn::print::Scope::Topics;
    if (variant && !seedGiven) {
        options.seed = zn::print::newSeed();
        printErr(QStringLiteral("znbank: шифр первого варианта %1").arg(options.seed));
    }

    const QString bank = QFileInfo(args[1]).absoluteFilePath();
    if (data.isEmpty()) data = zn::dataFolderIn(QFileInfo(bank).absolutePath());
    TDatMod dm;
    open(dm, bank, true);
    const zn::print::Paper paper = zn::print::makePaper(zn::print::readSource(dm), options);
    if (paper.questionCount() == 0) {
        printErr(QStringLiteral("znbank: нет вопросов для печати"));
        return 1;
    }
    const zn::print::Pictures pictures = paper.pictures
                                             ? zn::print::Pictures::load(paper.pictureNames(), data)
                                             : zn::print::Pictures();
    zn::print::writePdf(paper, pictures, QFileInfo(args[2]).absoluteFilePath());
    const QString notes = zn::print::printNotes(paper, pictures, data);
    if (!notes.isEmpty()) printErr(QStringLiteral("znbank: ") + notes);
    return 0;
}
#endif

int run(const QStringList& args) {
    if (args.size() < 2) return usage();
#ifdef ZN_BANK_CHECK
    if (args[0] == u"check") return check(args);
#endif
#ifdef ZN_BANK_PDF
    if (args[0] == u"pdf") return pdf(args);
#endif
    const QString& command = args[0];
    const bool withFile = command == u"export" || command == u"import";
    if (args.size() != (withFile ? 3 : 2)) return usage();
    if (!withFile && command != u"compact" && command != u"delete-all" && command != u"info")
        return usage();

    const QString bank = QFileInfo(args[1]).absoluteFilePath();
    zn::Session session{QDir::currentPath() + QStringLiteral("/data/"), bank};
    ErrFeedback feedback;
    TDatMod dm;
    dm.history.setEnabled(false);  // nothing here can be undone; backups are still taken
    open(dm, bank, command == u"export" || command == u"info");

    if (command == u"export") {
        zn::BankExchange exchange(dm, feedback, session, {});
        if (!exchange.exportTo(args[2]))
            printErr(QStringLiteral("znbank: в базе нет тем, файл не записан"));
    } else if (command == u"import") {
        zn::BankExchange exchange(dm, feedback, session, {});
        exchange.importFrom(args[2]);
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
#ifdef ZN_BANK_PDF
    // Pages are drawn with the system's fonts, which need the GUI application object; it needs
    // no display, so without one chosen the offscreen platform serves.
    const bool gui = argc > 1 && qstrcmp(argv[1], "pdf") == 0;
    if (gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        gui ? std::make_unique<QGuiApplication>(argc, argv)
            : std::make_unique<QCoreApplication>(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    try {
        return run(args);
    } catch (const std::exception& e) {
        printErr(QStringLiteral("znbank: ") + QString::fromUtf8(e.what()));
        return 1;
    }
}
