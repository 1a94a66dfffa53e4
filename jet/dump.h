// The canonical dump of tables: one line "# Name" per table, then one JSON object per row with
// keys sorted by name, rows sorted by a numeric "id" column or by their text. Other Jet readers'
// output is turned into the same text, so dumps can be compared with diff.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "jet/database.h"

namespace jet {

// JSON text of one value as the dump writes it.
std::string dumpValue(const Value& v);
// JavaScript's Number.prototype.toString for a double (shortest round-trip form).
std::string jsNumber(double d);

void dumpTable(Table& t, std::ostream& out);
// The same text for rows held elsewhere (a test's model of a table).
void dumpRows(const std::string& name, const TableDef& def, const std::vector<Row>& rows,
              std::ostream& out);
void dumpTables(Database& db, const std::vector<std::string>& names, std::ostream& out);

}  // namespace jet
