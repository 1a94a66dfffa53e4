// The test's five information records: the first five rows of Settings in ascending id (the
// launch window's title, the program window's title, the test's name, its description and its
// date), read and written by their SettingValue only. No widgets: the dialog TForm5 shows and
// collects them, the command-line tool prints them.
#pragma once

#include <QString>
#include <array>

namespace zn {

class TDatMod;

struct InfoRecords {
    static constexpr int kCount = 5;
    // The captions the dialog gives the five records, in storage order.
    static const std::array<QString, kCount>& labels();

    // Values 1..5 in storage order; those of missing rows are empty.
    std::array<QString, kCount> values;
    // How many of the five rows exist (0 to 5).
    int rows = 0;
};

// The text with the characters of code 0 to 32 (blanks, tabs, line breaks) removed at both ends.
QString trimControls(const QString& text);

// The records as tbSettings holds them, each trimmed. Leaves tbSettings on its first row.
// REQUIRES: tbSettings is open.
InfoRecords readInfoRecords(TDatMod& dm);

// Writes the values, each trimmed and with its line breaks stored as CR LF, into the existing
// rows among the first five, every one of them whether changed or not, in one write scope.
// Values for missing rows are dropped; no row is added. Leaves tbSettings on its first row.
// REQUIRES: tbSettings is open.
void saveInfoRecords(TDatMod& dm, const std::array<QString, InfoRecords::kCount>& values);

}  // namespace zn
