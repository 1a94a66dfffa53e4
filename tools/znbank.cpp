// znbank: the editor's bulk commands for scripts and for converting many banks at once.
//   znbank export BANK.mdb FILE.txt    every topic, question and answer to an exchange file
//   znbank import BANK.mdb FILE.txt [--allow-empty]
//                                      the file's topics, questions and answers replace the bank's;
//                                      a file that yields none is refused unless --allow-empty
//   znbank export BANK.mdb FILE --format moodle|gift|aiken|exchange [--topics 1,3] [--data DIR]
//                                      the bank (or the topics numbered 1 and 3) in that format;
//                                      Moodle XML carries the pictures of DIR
//   znbank import BANK.mdb FILE [--format exchange|moodle|gift|aiken|csv|mdb] [--add]
//                [--data DIR] [--allow-empty]
//                                      the file's questions replace the bank's (with --add: are
//                                      added to it, each into the topic of its name); the format
//                                      is found from the file when not given; pictures go to DIR.
//                                      What will be imported and every question left out (where
//                                      and why) on standard error; exit status 3 when something
//                                      was left out. An exchange file replacing the bank without
//                                      these options imports as it always has, silently.
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
//   znbank pdf BANK.mdb OUT.pdf [--topics 1,3] [--variant N [--seed S] [--copies K]] [--key]
//              [--no-pictures] [--data DIR]
//                                      the bank (or the topics numbered 1 and 3) on A4 pages;
//                                      with --variant, K variants (default 1) of N questions
//                                      drawn from each topic with shuffled answers, variant k
//                                      from seed S+k-1 (S chosen and told when not given);
//                                      --key adds the answer key. Pictures missing from DIR
//                                      are framed on the page and listed; exit status 0.
// DIR (pictures) defaults to the "data" folder beside the bank.
// The same command code, rules and messages as the editor's buttons (a bank another program
// holds, a read-only or damaged file are said in the editor's Russian); import, compact,
// delete-all and restore first copy the bank into "backups" beside it, as the editor does, and
// only once the command is sure to run. Messages go to
// standard error. Exit status 1 on failure, with the database unchanged; a compaction that fails
// after an import or a deletion has landed is reported and the status stays 0.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#ifdef ZN_BANK_PDF
#include <QGuiApplication>
#endif

#include "bulk/addimport.h"
#include "bulk/deleteall.h"
#include "bulk/importexport.h"
#include "bulk/importformats.h"
#include "bulk/inforecords.h"
#include "formats/formats.h"
#include "jet/error.h"
#ifdef ZN_BANK_CHECK
#include "preview/datafiles.h"
#include "problems/bankcheck.h"
#endif
#ifdef ZN_BANK_PDF
#include "print/pictures.h"
#include "print/render.h"
#include "print/source.h"
#endif
#include "store/backups.h"
#include "store/bankfile.h"
#include "store/filecommand.h"
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
                 "  znbank export BANK.mdb FILE --format moodle|gift|aiken|exchange "
                 "[--topics 1,3] [--data FOLDER]\n"
                 "  znbank import BANK.mdb FILE [--format exchange|moodle|gift|aiken|csv|mdb] "
                 "[--add] [--data FOLDER] [--allow-empty]\n"
                 "  znbank compact BANK.mdb\n"
                 "  znbank delete-all BANK.mdb\n"
                 "  znbank info BANK.mdb\n"
                 "  znbank backups BANK.mdb\n"
                 "  znbank restore BANK.mdb BACKUP.mdb\n"
                 "  znbank check BANK.mdb [--data FOLDER]\n"
                 "  znbank pdf BANK.mdb OUT.pdf [--topics 1,3] [--variant N [--seed S] "
                 "[--copies K]]\n"
                 "             [--key] [--no-pictures] [--data FOLDER]\n");
    return 2;
}

// Opens the bank as the editor does (for writing), or for reading only.
void open(zn::TDatMod& dm, const QString& path, bool readOnly) {
    const QString connection =
        readOnly ? QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\";Mode=Read")
                       .arg(QString(path).replace(u'"', QStringLiteral("\"\"")))
                 : zn::TDatMod::connectionString(path);
    dm.Conn.close();
    dm.Conn.setConnectionString(connection);
    try {
        dm.reopen();
    } catch (const std::exception&) {
        // Said as the editor says it, where the reason is a known one.
        const QString why = zn::whyNotATestBank(path);
        if (why.isEmpty()) throw;
        throw jet::Error(jet::ErrorKind::Unsupported, why.toStdString());
    }
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
    zn::TDatMod dm;
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
    zn::TDatMod dm;
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

// Options of import and export after BANK and FILE (`args` from BANK on).
struct FileOptions {
    std::optional<zn::formats::Format> format;
    bool add = false;
    QString data;
    std::vector<qint64> topics;
};

std::optional<FileOptions> fileOptions(const QStringList& args, bool import) {
    FileOptions o;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == u"--format" && hasValue) {
            o.format = zn::formats::formatFromCode(args[++i]);
            if (!o.format) return std::nullopt;
        } else if (a == u"--data" && hasValue) {
            o.data = QDir(args[++i]).absolutePath() + u'/';
        } else if (a == u"--add" && import) {
            o.add = true;
        } else if (a == u"--topics" && hasValue && !import) {
            for (const QString& part : args[++i].split(u',', Qt::SkipEmptyParts)) {
                bool ok = false;
                const qint64 t = part.trimmed().toLongLong(&ok);
                if (!ok) return std::nullopt;
                o.topics.push_back(t);
            }
            if (o.topics.empty()) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return o;
}

QByteArray head(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(64 * 1024) : QByteArray();
}

// Import of any format: the plan's report on standard error; 3 when something was left out.
int importFile(zn::TDatMod& dm, zn::BankExchange& exchange, ErrFeedback& feedback,
               const QString& file, const FileOptions& o, const QString& data) {
    const zn::formats::Format format =
        o.format ? *o.format : zn::formats::detectFormat(head(file), file);
    const zn::ImportMode mode = o.add ? zn::ImportMode::Add : zn::ImportMode::Replace;
    zn::BankImport import(dm, feedback, exchange, {});
    const zn::ImportPlan plan = import.plan(file, format, mode, data);
    const bool legacy = !o.format && !o.add && plan.exchangeReplace;
    if (!legacy) {
        printErr(QStringLiteral("znbank: %1").arg(zn::formats::formatTitle(format)));
        for (const QString& line : zn::describePlan(plan)) printErr(QStringLiteral("  ") + line);
    }
    const QStringList problems = zn::problemLines(plan);
    if (!problems.isEmpty()) {
        printErr(QStringLiteral("znbank: не будет импортировано (%1):").arg(problems.size()));
        for (const QString& line : problems) printErr(QStringLiteral("  ") + line);
    }
    if (plan.read.refused) return 1;
    if (!import.run(plan)) {
        printErr(QStringLiteral("znbank: ") + zn::BankExchange::emptyFileQuestion() +
                 QStringLiteral(" Нет: база не изменена (удалить все данные можно, добавив "
                                "--allow-empty)."));
        return 1;
    }
    if (plan.empty()) printErr(QStringLiteral("znbank: нечего импортировать, база не изменена"));
    return problems.isEmpty() ? 0 : 3;
}

// Export to another format: what was not carried on standard error; 3 when something was not.
int exportFile(zn::TDatMod& dm, const QString& file, const FileOptions& o, const QString& data) {
    const zn::formats::QuestionSet set = zn::bankQuestions(dm.Conn.database(), data, o.topics);
    if (set.questions.empty()) {
        printErr(QStringLiteral("znbank: в базе нет вопросов, файл не записан"));
        return 1;
    }
    const zn::formats::WriteResult out = zn::formats::write(*o.format, set);
    if (out.bytes.isEmpty()) {
        for (const auto& p : out.problems) printErr(QStringLiteral("znbank: ") + p.what);
        return 1;
    }
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(out.bytes) != out.bytes.size() || !f.commit()) {
        printErr(QStringLiteral("znbank: Cannot create file \"%1\". %2")
                     .arg(QFileInfo(file).absoluteFilePath(), f.errorString()));
        return 1;
    }
    printErr(QStringLiteral("znbank: %1: вопросов %2, рисунков %3")
                 .arg(zn::formats::formatTitle(*o.format))
                 .arg(set.questions.size())
                 .arg(set.pictures.size()));
    for (const auto& p : out.problems) {
        const QString where = p.where.describe();
        printErr(QStringLiteral("  ") +
                 (where.isEmpty() ? p.what : where + QStringLiteral(": ") + p.what));
    }
    return out.problems.empty() ? 0 : 3;
}

int run(const QStringList& args) {
    if (args.size() < 2) return usage();
#ifdef ZN_BANK_CHECK
    if (args[0] == u"check") return check(args);
#endif
#ifdef ZN_BANK_PDF
    if (args[0] == u"pdf") return pdf(args);
#endif
    QStringList rest = args;
    const QString command = rest.takeFirst();
    const bool allowEmpty = command == u"import" && rest.removeAll(QStringLiteral("--allow-empty"));
    const bool withOptions = command == u"export" || command == u"import";
    const bool withFile = withOptions || command == u"restore";
    if (withOptions ? rest.size() < 2 : rest.size() != (withFile ? 2 : 1)) return usage();
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
    zn::TDatMod dm;
    dm.history.setEnabled(false);  // nothing here can be undone; backups are still taken
    open(dm, bank, command == u"export" || command == u"info");

    const std::optional<FileOptions> options =
        withOptions ? fileOptions(rest, command == u"import") : FileOptions();
    if (!options) return usage();
    const QString data = options->data.isEmpty()
                             ? zn::dataFolderBeside(QFileInfo(bank).absolutePath())
                             : options->data;
    if (command == u"export" && options->format &&
        *options->format != zn::formats::Format::Exchange) {
        return exportFile(dm, rest[1], *options, data);
    } else if (command == u"export") {
        zn::BankExchange exchange(dm, feedback, session, {});
        if (!exchange.exportTo(rest[1]))
            printErr(QStringLiteral("znbank: в базе нет тем, файл не записан"));
    } else if (command == u"import") {
        zn::BankExchange exchange(dm, feedback, session, {});
        return importFile(dm, exchange, feedback, rest[1], *options, data);
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
