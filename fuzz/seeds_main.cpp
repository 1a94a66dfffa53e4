// fuzz_seeds: the fuzz targets' inputs for fuzz/run.sh and for adding a finding to the
// regression corpus.
//   fuzz_seeds targets              this build's targets, one a line: NAME db|other (db: it
//                                   reads database files, so the shared fixtures seed it)
//   fuzz_seeds write TARGET DIR     the target's seeds and its regression corpus (hex dumps
//                                   decoded) as files in DIR
//   fuzz_seeds hex FILE [NOTE]      the hex dump of FILE for fuzz/corpus (fuzz/corpus.h): against
//                                   the seed or shared fixture of its size it differs least
//                                   from, else against zeros
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "fuzz/corpus.h"
#include "fuzz/entries.h"

namespace {

int usage() {
    std::cerr << "usage: fuzz_seeds targets | write TARGET DIR | hex FILE [NOTE]\n";
    return 2;
}

size_t differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using namespace znfuzz;
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    try {
        if (cmd == "targets") {
            for (const Target& t : targets())
                std::cout << t.name << (t.readsDatabases ? " db" : " other") << "\n";
            return 0;
        }
        if (cmd == "write" && argc == 4) {
            const Target* t = findTarget(argv[2]);
            if (!t) {
                std::cerr << "fuzz_seeds: no target " << argv[2] << " in this build\n";
                return 2;
            }
            const std::string dir = argv[3];
            fs::create_directories(dir);
            for (const Input& s : seedsFor(*t)) writeFile(dir + "/seed-" + s.name, s.bytes);
            for (const std::string& f : filesIn(corpusFolder(*t))) {
                std::string why;
                if (auto in = readInput(f, &why))
                    writeFile(dir + "/corpus-" + in->name, in->bytes);
                else
                    std::cerr << "fuzz_seeds: " << f << " left out: " << why << "\n";
            }
            return 0;
        }
        if (cmd == "hex" && (argc == 3 || argc == 4)) {
            const std::vector<uint8_t> bytes = readFile(argv[1 + 1]);
            const std::string note = argc == 4 ? argv[3] : "";
            std::vector<std::pair<std::string, std::vector<uint8_t>>> bases;
            for (const Input& s : databaseSeeds())
                if (s.bytes.size() == bytes.size()) bases.emplace_back("seed:" + s.name, s.bytes);
            if (const std::string shared = sharedFixtures(); !shared.empty())
                for (const auto& e : fs::recursive_directory_iterator(shared + "/mdb"))
                    if (e.is_regular_file() && e.file_size() == bytes.size())
                        bases.emplace_back(fs::relative(e.path(), shared).string(),
                                           readFile(e.path().string()));
            const std::pair<std::string, std::vector<uint8_t>>* best = nullptr;
            size_t fewest = bytes.size();
            for (const auto& b : bases)
                if (size_t n = differing(bytes, b.second); n < fewest) {
                    fewest = n;
                    best = &b;
                }
            std::cout << (best ? hexDump(bytes, &best->second, best->first, note)
                               : hexDump(bytes, nullptr, "", note));
            return 0;
        }
    } catch (const std::exception& e) {
        std::cerr << "fuzz_seeds: " << e.what() << "\n";
        return 1;
    }
    return usage();
}
