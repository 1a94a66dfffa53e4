// The data module: the one owner of everything that touches the test database. It holds the
// connection `Conn`, the queries `qrtema` (topics) -> `qrvoprosi` (questions of the current
// topic) -> `qrotveti` (answers of the current question), chained master to detail, the table
// dataset `tbSettings` and the in-memory table `TbTema` that maps tree nodes to topics and
// questions. The current topic, question and answers are the rows under these cursors.
//
// The chain: after every cursor movement of `qrtema` (see dataset.h for what counts) the module
// closes `qrvoprosi`, sets its parameter `idtest` to the current topic's `numtema` (0 without a
// current row, also for a freshly inserted one) and opens it again; likewise `qrvoprosi` drives
// `qrotveti` through `idvopr` = the current question's `id`. Opening a detail on an empty result
// is no movement, so when a topic has no questions `qrotveti` keeps what it held.
//
// Empty topic list: whenever `qrtema` is open, its data changes (opened, moved, a column of the
// current row written) and it then has no rows, topicsEmptied() is emitted; the main window
// clears the preview on it.
//
// Commands that change the database run in a write scope: write(fn), or a WriteScope object.
// Everything fn writes is one transaction of the engine: it lands whole when fn returns, or not
// at all when fn throws (or the commit fails). After a rollback the datasets show what the file
// holds: pending inserts and edits are cancelled, the row cache is emptied and every open
// dataset is opened again with its cursor back on the row it stood on (by id), or on its first
// row when that row is gone. Scopes nest: an inner scope joins the outer one, and an inner scope
// that fails dooms the whole command, so the outer commit refuses even if the error was caught.
//
// Nothing is caught here: engine and field errors propagate to the caller.
#pragma once

#include <QObject>
#include <functional>
#include <type_traits>

#include "store/dbconnection.h"
#include "store/dbdataset.h"
#include "store/memtable.h"
#include "store/undohistory.h"

namespace zn {

class TDatMod : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TDatMod)

  public:
    // Sets up the connection and the datasets; opens nothing.
    explicit TDatMod(QObject* parent = nullptr);
    ~TDatMod() override;

    // The connection string the module is created with (test.mdb in the working directory).
    static QString creationConnectionString();
    // The full connection string for the database file at `databasePath`.
    static QString connectionString(const QString& databasePath);

    // The creation step: connects to test.mdb in the working directory with
    // creationConnectionString() and opens tbSettings and TbTema. Throws on failure.
    void connectDefault();
    // Closes Conn (and every dataset on it), gives it connectionString(databasePath) and opens
    // it. Datasets stay closed; the caller opens qrtema and tbSettings.
    void connectTo(const QString& databasePath);

    // --- Write scopes (see the top of this file)
    class WriteScope {
      public:
        // Begins the engine's transaction, or joins the open one. Throws when the database
        // cannot be written (the engine's read-only error), and when another program replaced
        // or changed the file since our last read or command: the database is then opened again
        // as it is now (reopenIfChangedByOthers()) and the error says so in Russian (Changed).
        // `label` names the command in the undo history (Russian, e.g. "удаление темы 3"); an
        // inner scope's label is used only when the outer one has none.
        explicit WriteScope(TDatMod& dm, const QString& label = {});
        // Without commit(): the command failed. The outermost scope rolls back and restores
        // the datasets; an inner one dooms the outer scope.
        ~WriteScope();
        WriteScope(const WriteScope&) = delete;
        WriteScope& operator=(const WriteScope&) = delete;
        // The outermost scope commits (a failed commit rolls back, restores and throws); an
        // inner one only ends. REQUIRES: no dataset holds an unposted insert or edit.
        void commit();

      private:
        TDatMod& dm_;
        bool done_ = false;
    };

    // Runs `fn` inside one write scope and returns its result.
    template <class F>
    auto write(F&& fn) -> std::invoke_result_t<F&> {
        WriteScope scope(*this);
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
            fn();
            scope.commit();
        } else {
            auto result = fn();
            scope.commit();
            return result;
        }
    }
    // The same, with the label the undo history gives the command.
    template <class F>
    auto write(const QString& label, F&& fn) -> std::invoke_result_t<F&> {
        WriteScope scope(*this, label);
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
            fn();
            scope.commit();
        } else {
            auto result = fn();
            scope.commit();
            return result;
        }
    }
    bool inWrite() const { return writeDepth_ > 0; }

    // Until end(), moving through qrvoprosi leaves qrotveti alone; end() opens qrotveti once
    // for the question then current. For commands that walk a topic's questions without looking
    // at their answers (re-keying a topic's questions). Destroyed without end() (a failed
    // command), it only restores the link: the failed write scope opens every dataset again.
    class AnswersPaused {
      public:
        explicit AnswersPaused(TDatMod& dm);
        ~AnswersPaused();
        void end();
        AnswersPaused(const AnswersPaused&) = delete;
        AnswersPaused& operator=(const AnswersPaused&) = delete;

      private:
        TDatMod& dm_;
        std::function<void()> saved_;
        bool ended_ = false;
    };

    // Closes the connection and opens it again with qrtema and tbSettings: after a command that
    // put another file in place of the database, or when another program did. Errors of
    // opening propagate (the connection is then closed).
    void reopen();
    // Runs `work` (which replaces or compacts the database's file) with the connection closed,
    // then reopen(), also when the work throws (its error then propagates).
    // REQUIRES: no write scope is open.
    void whileClosed(const std::function<void()>& work);

    // When another program replaced or changed the file under the open connection: the undo
    // history is dropped, pending edits cancelled, the database opened again as it is now and
    // reopenedAfterOthersChanged() emitted. Returns whether that happened. Nothing is written.
    bool reopenIfChangedByOthers();
    // The Russian sentence that a command was refused because the file changed under it.
    QString changedByOthersMessage() const;

    // Undo and redo of the commands in `history`: the file goes back (or forward) and the
    // datasets are opened again on their rows. Returns, in Russian, why nothing was done (nothing
    // to undo, the file changed behind our back: the history is then dropped and the bank opened
    // again as it is), or an empty string. Errors of the engine propagate with nothing changed.
    // REQUIRES: no write scope is open.
    QString undo();
    QString redo();

    // After the file's pages were put back by the undo history: pending edits are cancelled,
    // the row cache emptied and every open dataset opened again on its row (by id, else its
    // first row).
    void reloadAfterRestore();

    // Sets every topic's kolvopr to the number of its questions, writing only the counts that
    // differ, in one write scope (it joins the caller's). Leaves qrtema on its first topic.
    // `step` (may be empty) is called once per topic. On a database that cannot be written the
    // counts are only compared and nothing is written.
    void recountQuestions(const std::function<void()>& step = {});

    // Cancels the pending insert or edit of every dataset (a failed command must leave nothing
    // for a later movement to store).
    void cancelPendingEdits();

    // For a database opened for reading: when another program has changed the file since it was
    // last read, every open dataset is opened again on its row (by id, else its first row) and
    // true is returned, so that the caller shows the file as it is now.
    bool refreshIfChangedByOthers();

    // Whether the open database can be written, and why not (in Russian, for the person using
    // the program); empty when it can or nothing is open.
    bool readOnly() const;
    QString readOnlyMessage() const;

    DbConnection Conn;
    // The commands that can be undone and redone on the open database (store/undohistory.h).
    zn::UndoHistory history;
    DbDataset qrtema;      // "select * from Tema order by numtema;"
    DbDataset qrvoprosi;   // "select * from Voprosi where idtest=:idtest order by idvopr;"
    DbDataset qrotveti;    // "select * from Otveti where idvopr=:idvopr order by idotv ;"
    DbDataset tbSettings;  // table Settings, ascending id
    MemTable TbTema;       // id, nb, name (cut to 50 characters), bil, vop; ascending id

  signals:
    // qrtema is open and has no rows after a change of its data.
    void topicsEmptied();
    // The database was opened again because another program had replaced or changed its file
    // (reopenIfChangedByOthers()); whoever shows the bank shows it anew.
    void reopenedAfterOthersChanged();

  private:
    QString step(bool redo);
    void requeryQuestions();
    void requeryAnswers();
    // After a rollback: cancel, drop the row cache, reopen every open dataset on its row.
    void restoreAfterRollback();
    void reopenOnTheirRows();
    void endWrite(bool commit);

    int writeDepth_ = 0;
    bool writeDoomed_ = false;
    bool labelled_ = false;  // the open command has its label
};

}  // namespace zn
