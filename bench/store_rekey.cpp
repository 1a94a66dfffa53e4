// Whole-process benchmark of one command of many rows through the data module: re-keying the
// questions of 13 topics (every question of topics 2..14 gets its topic's number + 100, the way
// a topic renumbering rewrites idtest), either one post at a time (a transaction each, as the
// datasets write outside a write scope) or inside one write scope.
//   store_rekey FILE each|scope
// Prints the number of rows written and the file syncs the engine asked for; bench/commands.sh
// runs it under GNU time.
#include <cstdio>
#include <cstring>
#include <memory>

#include "jet/error.h"
#include "jet/file.h"
#include "store/tdatmod.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[2], "each") != 0 && std::strcmp(argv[2], "scope") != 0)) {
        std::fprintf(stderr, "usage: store_rekey FILE each|scope\n");
        return 2;
    }
    try {
        jet::SyncCountingEnv env(jet::Env::posix());
        zn::TDatMod dm;
        dm.Conn.setEnv(&env);
        dm.connectTo(QString::fromLocal8Bit(argv[1]));
        dm.qrtema.open();
        long rows = 0;
        auto rekey = [&] {
            for (dm.qrtema.first(); !dm.qrtema.eof(); dm.qrtema.next()) {
                const qint64 topic = dm.qrtema.asInteger("numtema");
                if (topic < 2 || topic > 14) continue;
                for (dm.qrvoprosi.first(); !dm.qrvoprosi.eof(); dm.qrvoprosi.next()) {
                    dm.qrvoprosi.edit();
                    dm.qrvoprosi.setInteger("idtest", topic + 100);
                    dm.qrvoprosi.post();
                    ++rows;
                }
            }
        };
        const long before = long(env.fileSyncs + env.dirSyncs);
        if (std::strcmp(argv[2], "scope") == 0)
            dm.write(rekey);
        else
            rekey();
        std::printf("%ld rows, %ld syncs\n", rows, long(env.fileSyncs + env.dirSyncs) - before);
        dm.Conn.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "store_rekey: %s\n", e.what());
        return 1;
    }
    return 0;
}
