// jettool: inspects, creates and compacts Jet 4 databases for people who debug files.
//   jettool tables FILE
//   jettool schema FILE [TABLE]
//   jettool dump FILE [--all | --system | --table NAME ...]
//   jettool check FILE
//   jettool create-test FILE [--sample] [--like EXISTING]
//   jettool compact FILE
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "jet/check.h"
#include "jet/compact.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/dump.h"
#include "jet/error.h"
#include "store/bank/testbank.h"
#include "tools/utf8args.h"

namespace {

int usage() {
    std::cerr << "usage:\n"
                 "  jettool tables FILE\n"
                 "  jettool schema FILE [TABLE]\n"
                 "  jettool dump FILE [--all | --system | --table NAME ...]\n"
                 "  jettool check FILE\n"
                 "  jettool create-test FILE [--sample] [--like EXISTING]\n"
                 "  jettool compact FILE\n";
    return 2;
}

// Each command reads inside one read scope: what it shows is one state of the file, however
// another program writes it meanwhile.
std::unique_ptr<jet::Database> openRead(const std::string& path) {
    jet::OpenOptions o;
    o.allowPassword = true;  // a debugging tool reads any database
    return jet::Database::open(path, o);
}

std::string flagText(const jet::Column& c) {
    std::string s;
    auto add = [&](const char* f) {
        if (!s.empty()) s += ",";
        s += f;
    };
    if (c.fixed()) add("fixed");
    if (c.autoNumber()) add("autonumber");
    if (c.autoGuid()) add("autoguid");
    if (c.compressible()) add("compressed-unicode");
    if (c.flags & 0x80) add("hyperlink");
    return s;
}

void printSchema(jet::Table& t) {
    const jet::TableDef& d = t.def();
    std::cout << "Table " << t.name() << " (definition page " << d.page;
    if (d.pages.size() > 1) std::cout << ", " << d.pages.size() << " pages";
    std::cout << "; rows " << d.rowCount << "; last autonumber " << d.lastAutoNumber << ")\n";
    for (size_t i : d.displayOrder()) {
        const jet::Column& c = d.columns[i];
        std::cout << "  " << c.name << "  " << jet::typeName(c.type);
        if (c.type == jet::ColType::Text) std::cout << "(" << c.maxChars() << ")";
        if (c.type == jet::ColType::Binary) std::cout << "(" << c.length << ")";
        if (c.type == jet::ColType::Numeric)
            std::cout << "(" << int(c.precision) << "," << int(c.scale) << ")";
        std::cout << "  #" << c.number;
        std::string f = flagText(c);
        if (!f.empty()) std::cout << "  [" << f << "]";
        std::cout << "\n";
    }
    for (auto& li : d.logicalIndexes) {
        const jet::RealIndex& ix = d.realIndexes.at(li.realIndex);
        std::cout << "  index " << li.name << " (";
        for (size_t k = 0; k < ix.columns.size(); ++k) {
            if (k) std::cout << ", ";
            const jet::Column* c = d.columnByNumber(ix.columns[k].column);
            std::cout << (c ? c->name : "?") << (ix.columns[k].ascending ? "" : " DESC");
        }
        std::cout << ")";
        if (li.primaryKey()) std::cout << " primary key";
        if (li.foreignKey()) std::cout << " foreign key";
        if (ix.unique()) std::cout << " unique";
        if (ix.ignoreNulls()) std::cout << " ignore-nulls";
        if (ix.required()) std::cout << " required";
        std::cout << "  root page " << ix.rootPage << "\n";
    }
}

int run(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string cmd = argv[1], file = argv[2];
    if (cmd == "tables") {
        auto db = openRead(file);
        jet::Database::ReadScope read(*db);  // no commit of another program in between
        for (auto& n : db->tableNames(jet::TableKind::User)) std::cout << n << "\n";
        return 0;
    }
    if (cmd == "schema") {
        auto db = openRead(file);
        jet::Database::ReadScope read(*db);  // no commit of another program in between
        if (argc > 3) {
            printSchema(db->table(argv[3]));
        } else {
            for (auto& n : db->tableNames(jet::TableKind::User)) printSchema(db->table(n));
        }
        return 0;
    }
    if (cmd == "dump") {
        auto db = openRead(file);
        jet::Database::ReadScope read(*db);  // no commit of another program in between
        std::vector<std::string> names;
        bool explicitList = false;
        for (int i = 3; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--all") {
                names = db->tableNames(jet::TableKind::User);
                explicitList = true;
            } else if (a == "--system") {
                names = db->tableNames(jet::TableKind::System);
                explicitList = true;
            } else if (a == "--table" && i + 1 < argc) {
                if (!explicitList) names.clear();
                explicitList = true;
                names.push_back(argv[++i]);
            } else {
                return usage();
            }
        }
        if (!explicitList) names = zn::bank::tableNamesIn(*db);
        jet::dumpTables(*db, names, std::cout);
        return 0;
    }
    if (cmd == "check") {
        auto db = openRead(file);
        jet::Database::ReadScope read(*db);  // no commit of another program in between
        jet::CheckReport r = jet::checkDatabase(*db);
        if (r.ok()) {
            std::cout << "OK\n";
            return 0;
        }
        for (auto& p : r.problems) std::cout << p << "\n";
        return 1;
    }
    if (cmd == "compact") {
        jet::CompactResult r = jet::compactInPlace(file);
        std::cout << "compacted: " << r.sizeBefore << " -> " << r.sizeAfter << " bytes\n";
        if (!r.note.empty()) std::cout << r.note << "\n";
        return 0;
    }
    if (cmd == "create-test") {
        jet::CreateOptions o;
        bool sample = false;
        std::string note;
        o.note = &note;
        for (int i = 3; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--sample")
                sample = true;
            else if (a == "--like" && i + 1 < argc)
                o.like = argv[++i];
            else
                return usage();
        }
        auto db = jet::createDatabase(file, o);
        zn::bank::createTestSchema(*db);
        if (sample) zn::bank::fillSampleContent(*db);
        if (!note.empty()) std::cerr << "jettool: " << note << "\n";
        return 0;
    }
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    try {
        std::vector<std::string> args = zntool::utf8Args(argc, argv);
        std::vector<char*> ptrs;
        for (auto& a : args) ptrs.push_back(a.data());
        ptrs.push_back(nullptr);
        return run(int(args.size()), ptrs.data());
    } catch (const jet::Error& e) {
        std::cerr << "jettool: " << e.what() << "\n";
        // For whoever debugs the engine: the check that found the damage.
        if (!e.where().empty()) std::cerr << "jettool: (detected in " << e.where() << ")\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "jettool: " << e.what() << "\n";
        return 1;
    }
}
