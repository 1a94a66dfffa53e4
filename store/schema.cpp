// Column lists and display labels of the four tables, read from the one table in testbank.
#include "store/schema.h"

#include "store/bank/testbank.h"

namespace zn::schema {

QStringList requiredColumns(const QString& table) {
    QStringList out;
    if (const bank::TableInfo* t = bank::findTable(table.toStdString()))
        for (const bank::Column& c : t->columns) out << QString::fromLatin1(c.name);
    return out;
}

QString displayLabel(const QString& table, const QString& column) {
    const bank::Column* c = bank::findColumn(table.toStdString(), column.toStdString());
    return c && c->label ? QString::fromUtf16(c->label) : QString();
}

}  // namespace zn::schema
