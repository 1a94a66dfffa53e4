// Export of the whole bank to an exchange file and import of one in its place (the file format
// is formats/exchange.h). No widgets: the main window's buttons collect the file name and call
// these; the command-line tool calls them too.
//
// The import reads, decodes and checks the whole file before it changes anything: a database
// that cannot be written stops it with the reason; a file that cannot be read, a number that
// cannot be read or stored, a name longer than its column, a question with more than 6 answers,
// a control character or a picture name that is no plain file name stops it with the message
// and the line where it was found, and the database stays as it was. A file that yields no
// topic and no question (an empty file, or one whose every line is passed over) would delete
// everything: the person is asked first (Feedback::ask), and nothing happens when the answer is
// No. Only then is the backup taken (store/filecommand.h). Then one write scope deletes every
// topic, question and
// answer (bulk/deleteall.h) and stores the file's: the database holds the old bank or the new
// one, never a mix. Each topic's stored question count is written with it; the rows get the ids
// 1, 2, 3 … in file order, as a compacted empty table would give them. After the commit the
// file is compacted (a failure is shown in a plain box and the import goes on), the connection
// is opened again and the tree rebuilt.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <stdexcept>

#include "bulk/deleteall.h"
#include "formats/exchange.h"
#include "store/feedback.h"
#include "store/session.h"

namespace zn {

class TDatMod;

// An error of a bulk command with the message to show (UTF-8 in what()).
class BulkError : public std::runtime_error {
  public:
    explicit BulkError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

  private:
    QString message_;
};

class BankExchange {
  public:
    // The progress bar's range while topics are read or written.
    static constexpr int kProgressMax = 14;
    // How many topics and questions the export's warning names.
    static constexpr int kHazardsShown = 5;

    // `treeObnov` rebuilds the tree (may be empty). All must outlive this object.
    BankExchange(TDatMod& dm, Feedback& feedback, const Session& session,
                 std::function<void()> treeObnov);

    // --- Export
    // Writes every topic with its questions and answers to `path` (replacing the file), with
    // the progress bar counting topics against kProgressMax; it is left at the number written.
    // With no topics nothing is written and false returned. When the file will not read back
    // into the same bank (the file read back as the import reads it, exchange::readBackHazards),
    // one information box names the first few topics and questions concerned (the file is
    // written all the same). The datasets are back on their rows
    // afterwards. Throws BulkError "Cannot create file ..." when the file cannot be written.
    bool exportTo(const QString& path);
    // The bank as the topic, question and answer datasets show it (the cursors are put back).
    exchange::Bank readBank();
    // The warning exportTo shows for `hazards` (empty: none).
    static QString hazardMessage(const std::vector<exchange::Hazard>& hazards);

    // --- Import
    // Replaces every topic, question and answer by the file's (see the top of this file).
    // Returns false when the file yields nothing and the person chose not to empty the bank.
    // Throws BulkError for a file that cannot be read or holds a fault, jet::Error (ReadOnly)
    // for a database that cannot be written and for a backup that cannot be made; engine
    // errors of the write scope propagate with the database unchanged.
    bool importFrom(const QString& path);
    // The question asked before a file that yields nothing empties the bank.
    static QString emptyFileQuestion();

    // The steps of importFrom, for tools that time them.
    // The file's bytes; BulkError "Cannot open file ..." when it cannot be read.
    static QByteArray readFile(const QString& path);
    // The bank the bytes hold, checked against the open database's columns; BulkError with the
    // first fault's message and line when there is one.
    exchange::Bank checkedBank(const QByteArray& bytes);
    // What the open database's columns accept.
    exchange::FieldRules fieldRules();
    // One write scope: every topic, question and answer deleted, the bank stored.
    void replaceBank(const exchange::Bank& bank);
    // After the commit: compaction, the connection opened again, the tree rebuilt.
    void finishImport();

    BulkDeletion& deletion() { return deletion_; }

  private:
    void rebuildTree();

    TDatMod& dm_;
    Feedback& fb_;
    BulkDeletion deletion_;
    std::function<void()> treeObnov_;
};

// The message of a fault as the import shows it: the message, then the line.
QString faultMessage(const exchange::Fault& fault);

}  // namespace zn
