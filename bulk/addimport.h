// Importing questions of any format (formats/) into the open bank, either adding them to it or
// replacing it. No widgets: the import dialog, the command-line tool and the tests call these.
//
// An import has two steps. plan() reads and checks the whole file and works out, without
// writing anything, where every question goes: the topic of the same name (created when the bank
// has none, unless that would make more than 14 topics: the questions of such a topic are
// problems with the topic command's message), numbered after that topic's last question, and the
// name each picture gets in the data folder (formats/pictures.h). What the bank cannot hold is a
// problem naming where it was found and why. run() then carries the plan out:
//  - Add: a backup of the whole file first (store/backups.h), the new pictures written, then one
//    write scope inserts the topics, questions and answers and brings the touched topics'
//    question counts up to date. Nothing already in the bank is renumbered or changed. The
//    command is one entry of the undo history; a failure leaves the database as it was and the
//    pictures it wrote removed again.
//  - Replace: the exchange import's replace path (bulk/importexport.h): a backup, every topic,
//    question and answer deleted and the file's stored in one write scope, compaction, one undo
//    entry. An exchange file is the exchange import itself: it keeps its own numbers, stops at
//    its first fault and asks before a file that yields nothing empties the bank; the questions
//    of other formats are numbered as they come, topics 1, 2, 3 ….
// A file that cannot be read, or breaks off half-way, is refused whole: nothing is imported.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "formats/exchange.h"
#include "formats/formats.h"
#include "formats/pictures.h"
#include "formats/question.h"
#include "store/feedback.h"

namespace zn {

class TDatMod;

class BankExchange;

enum class ImportMode { Replace, Add };

struct ImportPlan {
    ImportMode mode = ImportMode::Add;
    formats::Format format = formats::Format::Exchange;
    QString path;
    // The questions that will be imported, in file order, and the pictures they use; the
    // problems name everything that will not be (the file's own and the bank's).
    formats::ReadResult read;

    struct TopicPart {
        QString name;
        qint64 numtema = 0;
        bool created = false;    // a new topic
        int questions = 0;       // imported into it
        qint64 firstNumber = 0;  // idvopr of its first imported question
    };
    std::vector<TopicPart> topics;                  // in the order the file first names them
    std::vector<int> topicOf;                       // per question of `read`: index into `topics`
    std::vector<formats::PlannedPicture> pictures;  // per picture of `read`
    QString dataFolder;                             // where the pictures go

    // Replace with an exchange file: the bank as the file numbers it.
    bool exchangeReplace = false;
    exchange::Bank exchangeBank;

    // Questions imported (for an exchange replace: the file's).
    int questionCount() const;
    // Pictures that will be written into the data folder.
    int newPictureCount() const;
    // Nothing would be imported: a refused file, or every question a problem. (An exchange
    // file that replaces the bank is never empty: even an empty one empties the bank.)
    bool empty() const { return !exchangeReplace && questionCount() == 0; }
};

// What the plan will do, one line each (Russian): the mode, every topic with its questions and
// the numbers they get, the pictures to write.
QStringList describePlan(const ImportPlan& plan);
// Every problem as "where: why" (Russian), in file order.
QStringList problemLines(const ImportPlan& plan);

class BankImport {
  public:
    // `exchange` is the replace path (and knows the database's path). `treeObnov` rebuilds the
    // tree after an add (may be empty; the replace path rebuilds through `exchange`). All must
    // outlive this object.
    BankImport(TDatMod& dm, Feedback& feedback, BankExchange& exchange,
               std::function<void()> treeObnov);

    // Reads the file at `path` as `format` and plans its import into the open bank (see the top
    // of this file), the pictures going to `dataFolder` (ends with "/"). Writes nothing. A
    // database that cannot be written is refused first (jet::Error ReadOnly). For the
    // exchange file in Replace mode a fault of the file throws BulkError with its message and line,
    // as the exchange import does.
    ImportPlan plan(const QString& path, formats::Format format, ImportMode mode,
                    const QString& dataFolder);
    // The same for questions already read (the topic of a question without one is
    // `defaultTopic`).
    ImportPlan planRead(formats::ReadResult read, ImportMode mode, const QString& dataFolder,
                        const QString& defaultTopic);

    // Carries the plan out (see the top of this file) and rebuilds the tree. An empty plan
    // does nothing. Returns false when an exchange file that yields nothing was to replace the
    // bank and the person chose not to empty it (BankExchange::importFrom). Errors propagate
    // with the database as it was; a database that cannot be written is refused (jet::Error
    // ReadOnly) before the backup.
    // REQUIRES: the plan was made on the bank as it is now.
    bool run(const ImportPlan& plan);

  private:
    void add(const ImportPlan& plan);
    bool replace(const ImportPlan& plan);
    void rebuildTree();

    TDatMod& dm_;
    Feedback& fb_;
    BankExchange& exchange_;
    std::function<void()> treeObnov_;
};

}  // namespace zn
