// Opening the database from a connection string, and the row cache.
#include "store/dbconnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "jet/error.h"
#include "store/connectionstring.h"
#include "store/dbdataset.h"
#include "store/enginepath.h"

namespace zn {

DbConnection::DbConnection() = default;

DbConnection::~DbConnection() {
    // Datasets may outlive the connection only closed; let them forget it.
    for (DbDataset* d : datasets_) d->close();
}

void DbConnection::attach(DbDataset* d) {
    datasets_.push_back(d);
}

void DbConnection::detach(DbDataset* d) {
    datasets_.erase(std::remove(datasets_.begin(), datasets_.end(), d), datasets_.end());
}

void DbConnection::setConnectionString(const QString& text) {
    if (isOpen())
        throw jet::Error(jet::ErrorKind::Usage,
                         "Operation is not allowed when the object is open.");
    connectionString_ = text;
}

void DbConnection::open() {
    if (isOpen()) return;
    const zn::ConnectionSettings s =
        zn::connectionSettings(zn::ConnectionString::parse(connectionString_));
    fileName_ = QFileInfo(QDir::current(), s.dataSource).absoluteFilePath();
    const std::string path = zn::enginePath(fileName_);
    if (!QFileInfo(fileName_).isFile())
        throw jet::Error(jet::ErrorKind::NotFound,
                         "Could not find file '" + fileName_.toStdString() + "'.");

    jet::OpenOptions opt;
    opt.writable = s.writable;
    // A file that cannot be written (permissions, a read-only folder, another program using it)
    // opens for reading; readOnlyMessage() says why.
    opt.readOnlyFallback = s.writable;
    // Without a password in the connection string the engine refuses a database that has one.
    opt.allowPassword = !s.password.isEmpty();
    opt.env = env_;
    auto db = jet::Database::open(path, opt);
    if (!s.password.isEmpty() && db->header().password() != s.password.toStdU16String())
        throw jet::Error(jet::ErrorKind::Usage, "Not a valid password.");
    db_ = std::move(db);
    if (afterOpen) afterOpen(*db_);
}

void DbConnection::close() {
    if (!isOpen()) return;
    if (db_->inTransaction())
        throw jet::Error(jet::ErrorKind::Usage,
                         "The database cannot be closed while a command is writing to it");
    for (DbDataset* d : datasets_) d->close();
    cache_.clear();
    db_.reset();
}

jet::Database& DbConnection::database() {
    if (!db_) throw jet::Error(jet::ErrorKind::Usage, "The connection is closed");
    return *db_;
}

void DbConnection::setRowCacheEnabled(bool on) {
    cacheOn_ = on;
    if (!on) cache_.clear();
}

std::shared_ptr<const jet::Row> DbConnection::readRow(jet::Table& t, jet::RowId id) {
    if (cacheOn_) {
        auto it = cache_.find(cacheKey(t, id));
        if (it != cache_.end()) return it->second;
    }
    return keepRow(t, id, t.read(id));
}

std::shared_ptr<const jet::Row> DbConnection::keepRow(jet::Table& t, jet::RowId id, jet::Row row) {
    auto p = std::make_shared<const jet::Row>(std::move(row));
    if (cacheOn_) cache_[cacheKey(t, id)] = p;
    return p;
}

jet::RowId DbConnection::insertRow(jet::Table& t, jet::Row& row, const std::vector<bool>& given) {
    jet::RowId id = t.insert(row, given);
    // A slot freed by a delete may be used again: whatever was cached under it is gone.
    keepRow(t, id, row);
    return id;
}

void DbConnection::updateRow(jet::Table& t, jet::RowId id, const jet::Row& row) {
    try {
        t.update(id, row);
    } catch (...) {
        cache_.erase(cacheKey(t, id));
        throw;
    }
    keepRow(t, id, row);
}

void DbConnection::removeRow(jet::Table& t, jet::RowId id) {
    cache_.erase(cacheKey(t, id));
    t.remove(id);
}

bool DbConnection::readOnly() const {
    return db_ && !db_->writable();
}

QString DbConnection::readOnlyMessage() const {
    if (!readOnly()) return {};
    const QString file = QStringLiteral("«") + fileName_ + QStringLiteral("»");
    const QString readOnly = QStringLiteral(
        "Она открыта только для чтения: её можно просматривать и экспортировать, но не изменять.");
    switch (db_->readOnlyCause()) {
        case jet::ReadOnlyCause::FileReadOnly:
            return QStringLiteral("Файл базы данных %1 защищён от записи. ").arg(file) + readOnly;
        case jet::ReadOnlyCause::FolderReadOnly:
            return QStringLiteral(
                       "В папку базы данных %1 нельзя записывать: программе негде "
                       "создать свои служебные файлы. ")
                       .arg(file) +
                   readOnly;
        case jet::ReadOnlyCause::InUseByThisProgram:
            return QStringLiteral(
                       "База данных %1 уже открыта для изменения в другом окне "
                       "программы «Знатокар». ")
                       .arg(file) +
                   readOnly + QStringLiteral(" Изменять её можно в том окне.");
        case jet::ReadOnlyCause::InUseByOtherProgram:
            return QStringLiteral(
                       "База данных %1 открыта в другой программе (Microsoft Access "
                       "или другой программе для баз Jet). ")
                       .arg(file) +
                   readOnly +
                   QStringLiteral(
                       " Чтобы изменять её, закройте ту программу и откройте базу "
                       "снова.");
        case jet::ReadOnlyCause::None:
            break;
    }
    return QStringLiteral("База данных %1 открыта только для чтения.").arg(file);
}

bool DbConnection::changedByOthers() {
    if (!db_) return false;
    jet::Database::ReadScope scope(*db_);
    if (!scope.changed()) return false;
    cache_.clear();
    return true;
}

}  // namespace zn
