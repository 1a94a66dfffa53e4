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
// Nothing is caught here: engine and field errors propagate to the caller.
#pragma once

#include <QObject>

#include "store/dbconnection.h"
#include "store/dbdataset.h"
#include "store/memtable.h"

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

    DbConnection Conn;
    DbDataset qrtema;      // "select * from Tema order by numtema;"
    DbDataset qrvoprosi;   // "select * from Voprosi where idtest=:idtest order by idvopr;"
    DbDataset qrotveti;    // "select * from Otveti where idvopr=:idvopr order by idotv ;"
    DbDataset tbSettings;  // table Settings, ascending id
    MemTable TbTema;       // id, nb, name (cut to 50 characters), bil, vop; ascending id

  signals:
    // qrtema is open and has no rows after a change of its data.
    void topicsEmptied();

  private:
    void requeryQuestions();
    void requeryAnswers();
};
