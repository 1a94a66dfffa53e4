// What a test database is, defined once: its four tables (Tema, Voprosi, Otveti, Settings),
// their columns in the order the data module presents them, the column types and widths, the
// display labels the data module attaches, and the indexes a new file gets. Plain C++ over the
// engine, no Qt: jettool, the tests and the data module share it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jet/create.h"

namespace zn::bank {

struct Column {
    const char* name;
    jet::ColType type;
    uint16_t maxChars = 0;            // TEXT: characters the column holds
    const char16_t* label = nullptr;  // caption in messages; nullptr: none
    bool autoNumber = false;
    const char* defaultValue = "";  // the DefaultValue a new file gives the column
};

struct TableInfo {
    const char* name;
    std::vector<Column> columns;  // in the order the datasets present them
    std::vector<jet::IndexSpec> indexes;
};

// Tema, Voprosi, Otveti, Settings, in that order.
const std::vector<TableInfo>& tables();
// The table named `name` (case ignored), or nullptr.
const TableInfo* findTable(std::string_view name);
// Its column named `column` (case ignored), or nullptr.
const Column* findColumn(std::string_view table, std::string_view column);

// The four table names, in their fixed order, that `db` holds.
std::vector<std::string> tableNamesIn(jet::Database& db);

// The definitions a new test database gets.
std::vector<jet::TableSpec> testSchema();
// Creates the four tables, with the five information records in Settings.
void createTestSchema(jet::Database& db);
// A few Russian topics, questions (2 to 6 answers, some with pictures) and answers, and the
// sample test's information records.
void fillSampleContent(jet::Database& db);

}  // namespace zn::bank
