// Whole-process benchmark of a bank written in one transaction, the way an import writes it:
//   jet_bank SOURCE DEST [PER_TOPIC]
// reads the topics, questions and answers of the test database SOURCE, creates the new test
// database DEST and inserts them all in one transaction: every topic, then each question followed
// by its answers. With PER_TOPIC every topic gets that many questions, taken in turn from the
// topic's own (renumbered, so the bank can grow past the source). Prints the rows written, the
// wall and CPU time of the inserts and of the commit, and the peak memory of the process.
// bench/bank.sh runs the series.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "store/bank/testbank.h"

namespace {

struct Question {
    jet::Row row;
    std::vector<jet::Row> answers;
};

struct Topic {
    jet::Row row;
    std::vector<Question> questions;
};

int64_t asInt(const jet::Value& v) {
    return std::holds_alternative<int64_t>(v) ? std::get<int64_t>(v) : 0;
}

// The source's topics (by number) with their questions (in storage order) and answers.
std::vector<Topic> readBank(const std::string& path) {
    auto db = jet::Database::open(path);
    jet::Table& tema = db->table("Tema");
    jet::Table& vopr = db->table("Voprosi");
    jet::Table& otv = db->table("Otveti");
    const size_t temaNum = size_t(tema.columnIndex("numtema"));
    const size_t voprId = size_t(vopr.columnIndex("id")),
                 voprTest = size_t(vopr.columnIndex("idtest"));
    const size_t otvQ = size_t(otv.columnIndex("idvopr"));
    std::map<int64_t, Topic> topics;
    for (auto s = tema.scan(); s.next();) topics[asInt(s.row()[temaNum])].row = s.row();
    std::map<int64_t, std::vector<jet::Row>> answers;
    for (auto s = otv.scan(); s.next();) answers[asInt(s.row()[otvQ])].push_back(s.row());
    for (auto s = vopr.scan(); s.next();) {
        auto it = topics.find(asInt(s.row()[voprTest]));
        if (it == topics.end()) continue;
        it->second.questions.push_back({s.row(), std::move(answers[asInt(s.row()[voprId])])});
    }
    std::vector<Topic> out;
    for (auto& [num, t] : topics) out.push_back(std::move(t));
    return out;
}

double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double wallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: jet_bank SOURCE DEST [PER_TOPIC]\n";
        return 2;
    }
    try {
        const std::vector<Topic> bank = readBank(argv[1]);
        const long perTopic = argc > 3 ? std::atol(argv[3]) : 0;
        std::filesystem::remove(argv[2]);
        auto db = jet::createDatabase(argv[2]);
        zn::bank::createTestSchema(*db);

        jet::Table& tema = db->table("Tema");
        jet::Table& vopr = db->table("Voprosi");
        jet::Table& otv = db->table("Otveti");
        const size_t temaId = size_t(tema.columnIndex("id"));
        const size_t voprId = size_t(vopr.columnIndex("id")),
                     voprNum = size_t(vopr.columnIndex("idvopr"));
        const size_t otvId = size_t(otv.columnIndex("id")),
                     otvQ = size_t(otv.columnIndex("idvopr"));
        size_t topics = 0, questions = 0, answers = 0;

        const double wall0 = wallSeconds(), cpu0 = cpuSeconds();
        jet::Transaction tx(*db);
        for (const Topic& t : bank) {
            jet::Row r = t.row;
            r[temaId] = jet::Value();
            tema.insert(r);
            ++topics;
        }
        for (const Topic& t : bank) {
            if (t.questions.empty()) continue;
            const size_t n = perTopic > 0 ? size_t(perTopic) : t.questions.size();
            for (size_t k = 0; k < n; ++k) {
                const Question& q = t.questions[k % t.questions.size()];
                jet::Row r = q.row;
                r[voprId] = jet::Value();
                if (perTopic > 0) r[voprNum] = int64_t(k + 1);
                vopr.insert(r);
                ++questions;
                for (const jet::Row& a : q.answers) {
                    jet::Row ar = a;
                    ar[otvId] = jet::Value();
                    ar[otvQ] = r[voprId];
                    otv.insert(ar);
                    ++answers;
                }
            }
        }
        const double wall1 = wallSeconds(), cpu1 = cpuSeconds();
        tx.commit();
        const double wall2 = wallSeconds(), cpu2 = cpuSeconds();

        rusage ru{};
        getrusage(RUSAGE_SELF, &ru);
        std::printf(
            "%zu topics, %zu questions, %zu answers: inserts %.3f s (cpu %.3f s), commit %.3f s "
            "(cpu %.3f s), total %.3f s, %.1f us per row; peak memory %.1f MB\n",
            topics, questions, answers, wall1 - wall0, cpu1 - cpu0, wall2 - wall1, cpu2 - cpu1,
            wall2 - wall0, (wall2 - wall0) * 1e6 / double(topics + questions + answers),
            double(ru.ru_maxrss) / 1024.0);
    } catch (const jet::Error& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
