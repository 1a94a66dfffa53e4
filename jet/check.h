// The integrity check: everything about a database file that can be verified by reading it.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"

namespace jet {

struct CheckReport {
    std::vector<std::string> problems;
    // Index entries whose key was recomputed from the row and compared, and those that could
    // not be (a key type or sort order the engine cannot encode).
    size_t keysCompared = 0;
    size_t keysNotComparable = 0;
    bool ok() const { return problems.empty(); }
};

// Never throws for problems in the file: every corruption found is reported as a problem.
CheckReport checkDatabase(Database& db);

}  // namespace jet
