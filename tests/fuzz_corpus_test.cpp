// Every input kept in a fuzz target's regression corpus (fuzz/corpus/<target>/), and every input
// of the shared folder of inputs that once broke a parser (../shared/fixtures/fuzz), through the
// target's entry function: each must give a result or the code's own error, never a crash, a
// sanitizer report (the sanitizer build runs this too) or a broken promise (fuzz/entries.h).
#include <gtest/gtest.h>

#include "fuzz/corpus.h"
#include "fuzz/entries.h"

namespace {

using znfuzz::Target;

}  // namespace

namespace znfuzz {
// A failing case names its target, not its bytes.
void PrintTo(const Target& t, std::ostream* os) {
    *os << t.name;
}
}  // namespace znfuzz

namespace {

std::string replay(const Target& t, const std::vector<uint8_t>& bytes) {
    try {
        t.entry(bytes.data(), bytes.size());
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

class FuzzCorpus : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzCorpus, RegressionInputsGiveResultsOrErrors) {
    const Target& t = GetParam();
    const auto files = znfuzz::filesIn(znfuzz::corpusFolder(t));
    std::vector<std::string> skipped;
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        std::string why;
        const auto in = znfuzz::readInput(f, &why);
        if (!in) {
            skipped.push_back(f + ": " + why);
            continue;
        }
        EXPECT_EQ(replay(t, in->bytes), "");
    }
    if (!skipped.empty()) {
        std::string list;
        for (const auto& s : skipped) list += "\n  " + s;
        if (skipped.size() == files.size()) GTEST_SKIP() << "no input could be built:" << list;
        std::cout << "left out:" << list << "\n";
    }
}

TEST_P(FuzzCorpus, SharedInputsThatBrokeAParserGiveResultsOrErrors) {
    const std::string shared = znfuzz::sharedFixtures();
    if (shared.empty()) GTEST_SKIP() << "the shared fixtures folder (../shared/fixtures) is absent";
    const auto files = znfuzz::filesIn(shared + "/fuzz");
    if (files.empty()) GTEST_SKIP() << "../shared/fixtures/fuzz holds no inputs";
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        EXPECT_EQ(replay(GetParam(), znfuzz::readFile(f)), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(znfuzz::targets()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
