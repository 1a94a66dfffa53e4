// Integrity check.
#include "jet/check.h"

namespace jet {

CheckReport checkDatabase(Database& db) {
    CheckReport r;
    try {
        for (auto& name : db.tableNames(TableKind::All)) {
            Table& t = db.table(name);
            uint32_t live = 0;
            for (auto s = t.scan(); s.next();) ++live;
            if (live != t.def().rowCount)
                r.problems.push_back("table \"" + name + "\": " + std::to_string(t.def().rowCount) +
                                     " rows recorded, " + std::to_string(live) + " found");
        }
    } catch (const Error& e) {
        r.problems.push_back(e.what());
    }
    return r;
}

}  // namespace jet
