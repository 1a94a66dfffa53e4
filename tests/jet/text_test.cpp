// Text storage: a text that starts with U+FEFF (a byte-order mark, common in pasted and imported
// text) reads back exactly in every reader, what cannot be stored so is refused, and the check
// reports stored text that does not read back.
#include "jet/text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;
using zntest::copyOf;
using zntest::openWritable;

std::u16string withMark(std::u16string s) {
    return u"\uFEFF" + s;
}

// A long text mixing one- and two-byte characters, for memos on long-value pages.
std::u16string longMixed(size_t n) {
    const std::u16string part = u"Алгебра and ä, Ω; ";
    std::u16string s;
    while (s.size() < n) s += part;
    s.resize(n);
    return s;
}

TEST(ByteOrderMark, TextsStartingWithItReadBackInEveryReader) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("sample-test.mdb");
    const std::vector<std::u16string> temas = {
        withMark(u"Алгебра"),       withMark(u""),       withMark(u"abc"),
        withMark(u"äöü Алгебра 1"), withMark(u"\uFEFF"), withMark(u"x\u20AC\u00FF\u0101z"),
    };
    const std::vector<std::u16string> memos = {withMark(u"Вопрос?"), withMark(longMixed(1500)),
                                               withMark(longMixed(9000)), withMark(u"ab")};
    std::vector<std::pair<RowId, std::u16string>> written;
    {
        auto db = openWritable(path);
        Table& tema = db->table("Tema");
        const size_t col = size_t(tema.columnIndex("tema"));
        // The first topic's text changes; the others are new topics.
        auto s = tema.scan();
        ASSERT_TRUE(s.next());
        Row first = s.row();
        first[col] = temas[0];
        tema.update(s.id(), first);
        written.push_back({s.id(), temas[0]});
        for (size_t i = 1; i < temas.size(); ++i) {
            Row r(tema.def().columns.size());
            r[size_t(tema.columnIndex("numtema"))] = int64_t(10 + i);
            r[col] = temas[i];
            written.push_back({tema.insert(r), temas[i]});
        }
        Table& q = db->table("Voprosi");
        for (auto& m : memos) {
            Row r(q.def().columns.size());
            r[size_t(q.columnIndex("idtest"))] = int64_t(1);
            r[size_t(q.columnIndex("idvopr"))] = int64_t(100);
            r[size_t(q.columnIndex("vopros"))] = m;
            q.insert(r);
        }
    }
    auto db = Database::open(path);
    Table& tema = db->table("Tema");
    for (auto& [id, text] : written)
        EXPECT_EQ(std::get<std::u16string>(tema.read(id)[size_t(tema.columnIndex("tema"))]), text);
    Table& q = db->table("Voprosi");
    std::vector<std::u16string> seen;
    for (auto s = q.scan(); s.next();)
        if (auto* v = std::get_if<std::u16string>(&s.row()[size_t(q.columnIndex("vopros"))]))
            if (!v->empty() && v->front() == 0xFEFF) seen.push_back(*v);
    EXPECT_EQ(seen, memos);
    CheckReport rep = checkDatabase(*db);
    EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);

    std::string why;
    const std::string theirs = zntest::mdbReaderDump(path, {}, &why);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_TRUE(zntest::sameDump(zntest::ourDump(path, {}), theirs));
    EXPECT_TRUE(zntest::sameDump(zntest::mdbToolsView(zntest::ourDump(path, {})),
                                 zntest::mdbToolsView(zntest::mdbToolsDump(path, {}))));
}

TEST(ByteOrderMark, TextsItCannotHoldAreRefusedNamingTheColumn) {
    ZN_REQUIRE_FIXTURES();
    struct Case {
        const char* fixture;
        const char* table;
        const char* column;
        std::u16string value;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"sample-test.mdb", "Tema", "tema", withMark(u"Ā"), "U+0100"},
        {"sample-test.mdb", "Tema", "tema", withMark(u"一二"), "U+4E00"},
        {"sample-test.mdb", "Voprosi", "vopros", withMark(std::u16string(u"a\0b", 3)), "U+0000"},
        {"access/jk-fixedTextTestV2000.mdb", "users", "c_flag_", withMark(u""), "fixed-length"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string path = copyOf(c.fixture);
        const auto before = zntest::readFile(path);
        {
            auto db = openWritable(path);
            Table& t = db->table(c.table);
            Row r(t.def().columns.size());
            r[size_t(t.columnIndex(c.column))] = c.value;
            try {
                t.insert(r);
                ADD_FAILURE() << "accepted";
            } catch (const Error& e) {
                const std::string m = e.what();
                EXPECT_EQ(e.kind(), ErrorKind::Constraint);
                EXPECT_NE(m.find(std::string("\"") + c.column + "\""), std::string::npos) << m;
                EXPECT_NE(m.find(c.message), std::string::npos) << m;
            }
        }
        EXPECT_TRUE(zntest::readFile(path) == before) << "the file changed";
    }
}

// Stored text that does not read back, made by overwriting the first character of a stored
// plain text: the check names the column and the row (text that does not decode at all stops the
// table's rows being read, and is reported for the table).
TEST(StoredText, CheckReportsTextThatDoesNotReadBack) {
    ZN_REQUIRE_FIXTURES();
    struct Case {
        std::u16string stored;       // stored plain (it has characters above U+00FF or is short)
        std::vector<uint8_t> first;  // the bytes written over its first character
        const char* message;
        bool namesColumn = true;
    };
    const std::vector<Case> cases = {
        // What the engine used to write for "\uFEFFАлгебра" and "\uFEFFАлгебра 12".
        {u"ЖАлгебра", {0xFF, 0xFE}, "byte-order mark"},
        {u"ЖАлгебра 12", {0xFF, 0xFE}, "zero byte"},
        {u"Ж", {0xFF, 0xFE}, "bare marker"},
        // Compressed, then a mode switch into a last character of which one byte is left.
        {u"ЖЖЁ", {0xFF, 0xFE}, "half a character", false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string path = copyOf("sample-test.mdb");
        {
            auto db = openWritable(path);
            Table& t = db->table("Tema");
            Row r(t.def().columns.size());
            r[size_t(t.columnIndex("tema"))] = c.stored;
            t.insert(r);
        }
        std::vector<uint8_t> bytes = zntest::readFile(path);
        std::vector<uint8_t> plain;
        for (char16_t ch : c.stored) {
            plain.push_back(uint8_t(ch));
            plain.push_back(uint8_t(ch >> 8));
        }
        auto at = std::search(bytes.begin(), bytes.end(), plain.begin(), plain.end());
        ASSERT_NE(at, bytes.end());
        std::copy(c.first.begin(), c.first.end(), at);
        if (std::string(c.message) == "half a character") {
            // FF FE 16 04 | 00 | 16 04 01 -> a switch to two-byte mode and one byte of "Ё".
            at[2] = 0x16;
            at[3] = 0x04;
            at[4] = 0x00;
        }
        zntest::writeFile(path, bytes);
        auto db = Database::open(path);
        CheckReport rep = checkDatabase(*db);
        ASSERT_EQ(rep.problems.size(), 1u) << testing::PrintToString(rep.problems);
        EXPECT_NE(rep.problems[0].find(c.namesColumn ? "\"tema\"" : "\"Tema\""), std::string::npos)
            << rep.problems[0];
        EXPECT_NE(rep.problems[0].find(c.message), std::string::npos) << rep.problems[0];
    }
}

}  // namespace
