// Whole-process benchmark: reads every row of every table (system tables included) of a
// database, long values and all. Compared with mdb-export by bench/engine.sh.
#include <cstdio>
#include <iostream>

#include "jet/database.h"
#include "jet/error.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: jet_readall FILE\n";
        return 2;
    }
    try {
        jet::OpenOptions o;
        o.allowPassword = true;
        auto db = jet::Database::open(argv[1], o);
        size_t rows = 0, values = 0;
        for (auto& name : db->tableNames(jet::TableKind::All)) {
            for (auto s = db->table(name).scan(); s.next();) {
                ++rows;
                for (auto& v : s.row()) values += !jet::isNull(v);
            }
        }
        std::printf("%zu rows, %zu values\n", rows, values);
    } catch (const jet::Error& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
