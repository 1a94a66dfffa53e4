// Diagnosing a file that will not open as a test database, and creating an empty one.
#include "store/bankfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "store/bank/testbank.h"

namespace zn {

namespace {

QString quoted(const QString& path) {
    return u'«' + QDir::toNativeSeparators(path) + u'»';
}

}  // namespace

QString whyNotATestBank(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral(
                   "Файл базы данных %1 не найден. Откройте другую базу теста или создайте "
                   "новую.")
            .arg(quoted(path));
    if (!info.isFile())
        return QStringLiteral("%1 — папка, а не файл базы данных. Выберите файл базы теста (.mdb).")
            .arg(quoted(path));
    std::unique_ptr<jet::Database> db;
    try {
        jet::OpenOptions o;
        o.allowPassword = true;  // only to tell a protected file from a damaged one
        db = jet::Database::open(QFile::encodeName(path).toStdString(), o);
    } catch (const jet::Error& e) {
        if (e.kind() == jet::ErrorKind::Corrupt || e.kind() == jet::ErrorKind::Unsupported)
            return QStringLiteral(
                       "Файл %1 не удаётся открыть как базу данных Access 2000: он повреждён или "
                       "это файл другого вида. Откройте другую базу теста или восстановите эту "
                       "из резервной копии.\n\nПодробности: %2")
                .arg(quoted(path), QString::fromUtf8(e.what()));
        return {};
    }
    if (!db->header().password().empty())
        return QStringLiteral(
                   "База данных %1 защищена паролем, а Знатокар открывает только базы без "
                   "пароля. Снимите пароль в Access (или в программе, где его задали) и откройте "
                   "базу снова.")
            .arg(quoted(path));
    try {
        QStringList missing;
        for (const bank::TableInfo& t : bank::tables())
            if (!db->hasTable(t.name)) missing << u'«' + QString::fromLatin1(t.name) + u'»';
        if (!missing.isEmpty())
            return QStringLiteral(
                       "Файл %1 — база данных Access, но не база теста: в ней нет %2 %3. Откройте "
                       "базу теста (в ней есть таблицы Tema, Voprosi, Otveti и Settings).")
                .arg(quoted(path),
                     missing.size() == 1 ? QStringLiteral("таблицы") : QStringLiteral("таблиц"),
                     missing.join(QStringLiteral(", ")));
    } catch (const jet::Error& e) {
        return QStringLiteral(
                   "Файл %1 повреждён: прочитать список его таблиц не удалось. Откройте другую "
                   "базу теста или восстановите эту из резервной копии.\n\nПодробности: %2")
            .arg(quoted(path), QString::fromUtf8(e.what()));
    }
    return {};
}

void createEmptyTestBank(const QString& path) {
    const std::string target = QFile::encodeName(path).toStdString();
    jet::Env& env = jet::Env::posix();
    if (env.exists(target))
        throw jet::Error(jet::ErrorKind::Usage, "The file \"" + target + "\" exists already");
    const std::string temp = target + ".new";
    env.remove(temp);  // the leftover of an earlier attempt
    try {
        {
            auto db = jet::createDatabase(temp);
            bank::createTestSchema(*db);
        }
        env.rename(temp, target);
        env.syncDirOf(target);
    } catch (...) {
        env.remove(temp);
        throw;
    }
}

}  // namespace zn
