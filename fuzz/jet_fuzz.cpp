// Fuzz target: opens a byte buffer as a database and reads the catalog, every table, every row
// with its long values and every index (through the integrity check). Engine errors are the
// expected outcome for damaged input; anything else (a crash, a sanitizer report, another
// exception) is a finding.
#include <cstdint>
#include <sstream>
#include <vector>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/dump.h"
#include "jet/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto db = jet::Database::fromBytes(std::vector<uint8_t>(data, data + size));
        jet::checkDatabase(*db);
        for (auto& name : db->tableNames(jet::TableKind::All)) {
            std::ostringstream sink;
            jet::dumpTable(db->table(name), sink);
        }
    } catch (const jet::Error&) {
    }
    return 0;
}
