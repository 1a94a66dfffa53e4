// The test database's tables as the editor and the test-taking program share them: table and
// column names (in the order the datasets present them) and the display labels the data module
// attaches to columns. The labels appear in field error messages.
#pragma once

#include <QString>
#include <QStringList>

namespace zn::schema {

inline const QString kTema = QStringLiteral("Tema");
inline const QString kVoprosi = QStringLiteral("Voprosi");
inline const QString kOtveti = QStringLiteral("Otveti");
inline const QString kSettings = QStringLiteral("Settings");

// Columns every dataset on the table needs; a table lacking one cannot be opened. Further
// columns of a table are not presented (writes keep their stored values).
QStringList requiredColumns(const QString& table);

// The caption of a column, or an empty string when it has none.
QString displayLabel(const QString& table, const QString& column);

}  // namespace zn::schema
