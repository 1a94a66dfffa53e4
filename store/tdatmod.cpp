// The data module: datasets, their master-detail chain and the connection strings.
#include "store/tdatmod.h"

#include <QFileInfo>
#include <optional>

#include "jet/error.h"
#include "store/schema.h"

namespace zn {

TDatMod::TDatMod(QObject* parent)
    : QObject(parent),
      qrtema("qrtema", Conn),
      qrvoprosi("qrvoprosi", Conn),
      qrotveti("qrotveti", Conn),
      tbSettings("tbSettings", Conn),
      TbTema("TbTema",
             {{"id", jet::ColType::Long},
              {"nb", jet::ColType::Long},
              {"name", jet::ColType::Text, 50},
              {"bil", jet::ColType::Long},
              {"vop", jet::ColType::Long}},
             "id") {
    setObjectName("DatMod");
    qrtema.setSql("select * from Tema order by numtema;");
    qrvoprosi.setSql("select * from Voprosi where idtest=:idtest order by idvopr;");
    qrotveti.setSql("select * from Otveti where idvopr=:idvopr order by idotv ;");
    tbSettings.setTableName(schema::kSettings);

    qrtema.afterScroll = [this] { requeryQuestions(); };
    qrvoprosi.afterScroll = [this] { requeryAnswers(); };
    Conn.afterOpen = [this](jet::Database& db) { history.attach(db); };
    qrtema.onDataChange = [this] {
        if (qrtema.isOpen() && qrtema.recordCount() == 0) emit topicsEmptied();
    };
}

TDatMod::~TDatMod() {
    // No notifications while the datasets are taken down.
    qrtema.afterScroll = nullptr;
    qrvoprosi.afterScroll = nullptr;
    qrtema.onDataChange = nullptr;
    Conn.close();
    history.drop();
}

void TDatMod::requeryQuestions() {
    qrvoprosi.close();
    // With no current row every column reads as NULL, that is 0.
    qrvoprosi.setParam("idtest", qrtema.asInteger("numtema"));
    qrvoprosi.open();
}

void TDatMod::requeryAnswers() {
    qrotveti.close();
    qrotveti.setParam("idvopr", qrvoprosi.asInteger("id"));
    qrotveti.open();
}

TDatMod::AnswersPaused::AnswersPaused(TDatMod& dm) : dm_(dm), saved_(dm.qrvoprosi.afterScroll) {
    dm_.qrvoprosi.afterScroll = nullptr;
}

TDatMod::AnswersPaused::~AnswersPaused() {
    if (!ended_) dm_.qrvoprosi.afterScroll = saved_;
}

void TDatMod::AnswersPaused::end() {
    if (ended_) return;
    ended_ = true;
    dm_.qrvoprosi.afterScroll = saved_;
    if (saved_ && dm_.qrvoprosi.isOpen()) dm_.requeryAnswers();
}

QString TDatMod::creationConnectionString() {
    return QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=test.mdb;Persist Security Info=False");
}

QString TDatMod::connectionString(const QString& databasePath) {
    // A path that the connection string syntax would misread goes in quotes.
    QString source = databasePath;
    if (source.contains(u';') || source.startsWith(u'"') || source.startsWith(u'\'') ||
        source != source.trimmed())
        source = u'"' + QString(source).replace(u'"', QStringLiteral("\"\"")) + u'"';
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=") + source +
           QStringLiteral(
               ";Mode=Share Deny None;Extended Properties=\"\";Jet OLEDB:System database=\"\";"
               "Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=\"\";") +
           QStringLiteral(
               "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global "
               "Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database "
               "Password=\"\";Jet OLEDB:Create System Database=False;") +
           QStringLiteral(
               "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on "
               "Compact=False;Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");
}

void TDatMod::connectDefault() {
    Conn.close();
    Conn.setConnectionString(creationConnectionString());
    Conn.open();
    tbSettings.open();
    TbTema.open();
}

void TDatMod::reopen() {
    Conn.close();
    Conn.open();
    qrtema.open();
    tbSettings.open();
}

QString TDatMod::undo() {
    return step(false);
}

QString TDatMod::redo() {
    return step(true);
}

QString TDatMod::step(bool redo) {
    if (inWrite())
        throw jet::Error(jet::ErrorKind::Usage, "A command cannot be undone while another writes");
    if (!Conn.isOpen()) return {};
    const auto closed = [this](const std::function<void()>& work) { whileClosed(work); };
    zn::UndoHistory::Step done;
    try {
        done = redo ? history.redo(Conn.database(), closed) : history.undo(Conn.database(), closed);
    } catch (...) {
        reloadAfterRestore();
        throw;
    }
    if (done.changedByOthers) {
        // What is shown must be the file as it is now, not what was read before.
        reopenIfChangedByOthers();
    } else if (done.pagesRestored) {
        reloadAfterRestore();
    }
    return done.why;
}

void TDatMod::whileClosed(const std::function<void()>& work) {
    Conn.close();
    try {
        work();
    } catch (...) {
        reopen();
        throw;
    }
    reopen();  // the same file: the undo history stays attached
}

bool TDatMod::reopenIfChangedByOthers() {
    if (!Conn.isOpen() || Conn.readOnly() || Conn.database().unchangedByOthers()) return false;
    history.drop();
    cancelPendingEdits();
    try {
        reopen();
    } catch (const jet::Error& e) {
        throw jet::Error(jet::ErrorKind::Changed,
                         (changedByOthersMessage().section(u'.', 0, 1) +
                          QStringLiteral(". Открыть базу заново не удалось: "))
                                 .toStdString() +
                             e.what());
    }
    emit reopenedAfterOthersChanged();
    return true;
}

QString TDatMod::changedByOthersMessage() const {
    return QStringLiteral(
               "Файл базы данных «%1» заменила или изменила другая программа, пока он был открыт "
               "здесь. Команда не выполнена, в файл ничего не записано. База открыта заново "
               "такой, какая она теперь; проверьте её и повторите команду.")
        .arg(QFileInfo(Conn.fileName()).fileName());
}

void TDatMod::connectTo(const QString& databasePath) {
    Conn.close();
    Conn.setConnectionString(connectionString(databasePath));
    Conn.open();
}

// ---------------------------------------------------------------------------------------------
// Write scopes

TDatMod::WriteScope::WriteScope(TDatMod& dm, const QString& label) : dm_(dm) {
    if (dm_.writeDepth_ == 0) {
        if (dm_.reopenIfChangedByOthers())
            throw jet::Error(jet::ErrorKind::Changed, dm_.changedByOthersMessage().toStdString());
        dm_.history.checkFileUnchanged();
        dm_.Conn.database().begin();
        dm_.writeDoomed_ = false;
        dm_.labelled_ = false;
        dm_.history.setPendingLabel(QString());
    }
    if (!dm_.labelled_ && !label.isEmpty()) {
        dm_.history.setPendingLabel(label);
        dm_.labelled_ = true;
    }
    ++dm_.writeDepth_;
}

TDatMod::WriteScope::~WriteScope() {
    if (done_) return;
    done_ = true;
    try {
        dm_.endWrite(false);
    } catch (...) {
        // A destructor runs while the command's own error is on its way to the user.
    }
}

void TDatMod::WriteScope::commit() {
    if (done_) return;
    done_ = true;
    dm_.endWrite(true);
}

void TDatMod::endWrite(bool commit) {
    const bool outermost = writeDepth_ == 1;
    --writeDepth_;
    if (!outermost) {
        if (!commit) writeDoomed_ = true;
        return;
    }
    if (commit) {
        try {
            if (writeDoomed_)
                throw jet::Error(jet::ErrorKind::Usage,
                                 "A part of the command failed, so none of it was written");
            for (Dataset* d :
                 std::initializer_list<Dataset*>{&qrtema, &qrvoprosi, &qrotveti, &tbSettings})
                if (d->state() == DatasetState::Edit || d->state() == DatasetState::Insert)
                    throw jet::Error(jet::ErrorKind::Usage,
                                     d->name().toStdString() +
                                         ": a change was not posted before the command ended, "
                                         "so none of the command was written");
            Conn.database().commit();
            return;
        } catch (...) {
            // A failed commit has already put the file back; a refused one is rolled back here.
            try {
                if (Conn.isOpen()) Conn.database().rollback();
            } catch (...) {
            }
            try {
                restoreAfterRollback();
            } catch (...) {
                // When the file could not be put back either (a full disk refuses the old pages
                // too), reading it fails as well; the commit's own error says what happened, and
                // the journal puts the file back when it is opened next.
            }
            throw;
        }
    }
    if (Conn.isOpen()) Conn.database().rollback();
    restoreAfterRollback();
}

void TDatMod::recountQuestions(const std::function<void()>& step) {
    // Every movement of qrtema re-queries qrvoprosi for the topic it lands on.
    std::vector<std::pair<qint64, qint64>> changed;  // topic id, count
    for (qrtema.first(); !qrtema.eof(); qrtema.next()) {
        const qint64 count = qrvoprosi.recordCount();
        if (qrtema.isNull("kolvopr") || qrtema.asInteger("kolvopr") != count)
            changed.emplace_back(qrtema.asInteger("id"), count);
        if (step) step();
    }
    if (!changed.empty() && !readOnly()) {
        write(QStringLiteral("пересчёт вопросов в темах"), [&] {
            for (auto& [id, count] : changed) {
                qrtema.locate(QStringLiteral("id"), id);
                qrtema.edit();
                qrtema.setInteger("kolvopr", count);
                qrtema.post();
            }
        });
    }
    qrtema.first();
}

void TDatMod::cancelPendingEdits() {
    for (Dataset* d : std::initializer_list<Dataset*>{&qrtema, &qrvoprosi, &qrotveti, &tbSettings})
        if (d->isOpen()) d->cancel();
}

namespace {

// Where a dataset stood: its parameter and the id of its current row.
struct Position {
    bool open = false;
    std::optional<qint64> id;
    std::optional<qint64> param;
};

Position positionOf(DbDataset& d, const QString& param) {
    Position p;
    p.open = d.isOpen();
    if (!p.open) return p;
    if (d.recNo() > 0 && !d.isNull("id")) p.id = d.asInteger("id");
    if (!param.isEmpty()) p.param = d.param(param);
    return p;
}

// Opens `d` again (with its former parameter) and puts the cursor back on its row.
void reopenAt(DbDataset& d, const Position& p, const QString& param) {
    if (!p.open) return;  // a detail the master's reopening opened stays as the chain left it
    d.close();
    if (p.param) d.setParam(param, *p.param);
    d.open();
    if (p.id) d.locate(QStringLiteral("id"), *p.id);
}

}  // namespace

void TDatMod::restoreAfterRollback() {
    cancelPendingEdits();
    Conn.dropRowCache();
    reopenOnTheirRows();
}

void TDatMod::reloadAfterRestore() {
    restoreAfterRollback();
}

bool TDatMod::refreshIfChangedByOthers() {
    if (!Conn.isOpen() || inWrite() || !Conn.changedByOthers()) return false;
    cancelPendingEdits();
    reopenOnTheirRows();
    return true;
}

void TDatMod::reopenOnTheirRows() {
    if (!Conn.isOpen()) return;
    const QString idtest = QStringLiteral("idtest"), idvopr = QStringLiteral("idvopr");
    const Position topics = positionOf(qrtema, {});
    const Position questions = positionOf(qrvoprosi, idtest);
    const Position answers = positionOf(qrotveti, idvopr);
    const Position settings = positionOf(tbSettings, {});
    // Master first: its movements re-query the details, which are then put on their own rows.
    reopenAt(qrtema, topics, {});
    reopenAt(qrvoprosi, questions, idtest);
    reopenAt(qrotveti, answers, idvopr);
    reopenAt(tbSettings, settings, {});
}

bool TDatMod::readOnly() const {
    return Conn.isOpen() && Conn.readOnly();
}

QString TDatMod::readOnlyMessage() const {
    return Conn.isOpen() ? Conn.readOnlyMessage() : QString();
}

}  // namespace zn
