// The one query form the data module runs:
//   select * from <table> [where <column>=:<parameter>] order by <column> [;]
// Keywords in any case, blanks anywhere between the parts. Anything else is refused.
#pragma once

#include <QString>

namespace zn {

struct SelectStatement {
    QString table;
    QString whereColumn;  // empty: no condition
    QString parameter;    // name of the parameter the condition compares with
    QString orderColumn;
};

// Throws jet::Error(Unsupported) naming the text when it is not of the form above.
SelectStatement parseSelect(const QString& sql);

}  // namespace zn
