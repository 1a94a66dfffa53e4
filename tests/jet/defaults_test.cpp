// Column default values: the literal forms evaluated for each column type, the DefaultValue,
// Required and AllowZeroLength properties our table creation writes (as Access and mdbtools read
// them), and inserts that leave columns to their defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/defaultvalue.h"
#include "jet/error.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;

Column column(ColType type, uint16_t chars = 20) {
    Column c;
    c.name = "c";
    c.type = type;
    c.length = type == ColType::Text ? uint16_t(2 * chars) : uint16_t(fixedSize(type));
    c.precision = 10;
    c.scale = 2;
    return c;
}

TEST(DefaultLiterals, EvaluatedForEachColumnType) {
    using K = EvaluatedDefault::Kind;
    struct Case {
        ColType type;
        std::u16string expression;
        K kind;
        Value value;
    };
    const std::vector<Case> cases = {
        // Numbers, with "=" and spaces around, into each number type.
        {ColType::Long, u"42", K::Literal, int64_t(42)},
        {ColType::Long, u" = -7 ", K::Literal, int64_t(-7)},
        {ColType::Int, u"1e3", K::Literal, int64_t(1000)},
        {ColType::Int, u"2.50E1", K::Literal, int64_t(25)},
        {ColType::Int, u"1.5", K::Unfit, Value()},
        {ColType::Byte, u"300", K::Unfit, Value()},
        {ColType::Byte, u"True", K::Unfit, Value()},  // -1
        {ColType::Long, u"Yes", K::Literal, int64_t(-1)},
        {ColType::Long, u"\"12\"", K::Literal, int64_t(12)},
        {ColType::Long, u"'abc'", K::Unfit, Value()},
        {ColType::Money, u"1.2345", K::Literal, Currency{12345}},
        {ColType::Money, u"-.5", K::Literal, Currency{-5000}},
        {ColType::Money, u"0.00001", K::Unfit, Value()},
        {ColType::Double, u"-2.5e3", K::Literal, -2500.0},
        {ColType::Single, u"1e39", K::Unfit, Value()},
        {ColType::Numeric, u"12345678.99", K::Literal, Decimal{false, 1234567899, 2}},
        {ColType::Numeric, u"1.001", K::Unfit, Value()},
        // Yes/No.
        {ColType::Boolean, u"Yes", K::Literal, true},
        {ColType::Boolean, u"off", K::Literal, false},
        {ColType::Boolean, u"-1", K::Literal, true},
        {ColType::Boolean, u"0", K::Literal, false},
        {ColType::Boolean, u"\"Yes\"", K::Unfit, Value()},
        // Texts.
        {ColType::Text, u"\"abc\"", K::Literal, std::u16string(u"abc")},
        {ColType::Text, u"'it''s'", K::Literal, std::u16string(u"it's")},
        {ColType::Text, u"\"say \"\"hi\"\"\"", K::Literal, std::u16string(u"say \"hi\"")},
        {ColType::Text, u"\"\"", K::Literal, std::u16string()},
        {ColType::Memo, u"=\"Ответ\"", K::Literal, std::u16string(u"Ответ")},
        {ColType::Text, u"0", K::Literal, std::u16string(u"0")},
        {ColType::Text, u"1.5", K::Expression, Value()},  // written in the user's locale
        {ColType::Text, u"\"" + std::u16string(21, u'x') + u"\"", K::Unfit, Value()},
        {ColType::Text, u"\"abc", K::Expression, Value()},
        {ColType::Text, u"\"a\" & \"b\"", K::Expression, Value()},
        // Dates.
        {ColType::DateTime, u"#2024-02-29#", K::Literal, DateTime{45351.0}},
        {ColType::DateTime, u"#2/29/2024 6:00 PM#", K::Literal, DateTime{45351.75}},
        {ColType::DateTime, u"#1899-12-29 06:00:00#", K::Literal, DateTime{-1.25}},
        {ColType::DateTime, u"#2023-02-29#", K::Expression, Value()},
        {ColType::DateTime, u"3000000", K::Unfit, Value()},
        // Null and expressions.
        {ColType::Long, u"Null", K::Literal, Value()},
        {ColType::DateTime, u"=Now()", K::Expression, Value()},
        {ColType::DateTime, u"Date()", K::Expression, Value()},
        {ColType::Long, u"1+1", K::Expression, Value()},
        {ColType::Guid, u"\"{00000000-0000-0000-0000-000000000000}\"", K::Expression, Value()},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.expression) + " for " + typeName(c.type));
        EvaluatedDefault d = evaluateDefault(column(c.type), c.expression);
        EXPECT_EQ(d.kind, c.kind) << d.why;
        if (c.kind == K::Literal) {
            EXPECT_EQ(d.value, c.value);
        }
        if (c.kind == K::Unfit) {
            EXPECT_NE(d.why.find(typeName(c.type)), std::string::npos) << d.why;
        }
    }
}

// A table of our own whose columns carry defaults and rules.
TableSpec withDefaults() {
    auto col = [](const char* name, ColType type, const char* dflt) {
        ColumnSpec c{name, type};
        c.defaultValue = dflt;
        if (type == ColType::Text) c.maxChars = 20;
        return c;
    };
    TableSpec spec{"D", {}, {IndexSpec{"PrimaryKey", {{"id", true}}, true}}};
    ColumnSpec id{"id", ColType::Long};
    id.autoNumber = true;
    spec.columns.push_back(id);
    spec.columns.push_back(col("n", ColType::Long, "42"));
    spec.columns.push_back(col("b", ColType::Boolean, "Yes"));
    ColumnSpec t = col("t", ColType::Text, "\"abc\"");
    t.allowZeroLength = false;
    spec.columns.push_back(t);
    spec.columns.push_back(col("m", ColType::Money, "=1.5"));
    spec.columns.push_back(col("dt", ColType::DateTime, "#2024-02-29 13:45:00#"));
    spec.columns.push_back(col("made", ColType::DateTime, "=Now()"));
    ColumnSpec r = col("r", ColType::Int, "=Date()");
    r.required = true;
    spec.columns.push_back(r);
    spec.columns.push_back(col("plain", ColType::Int, ""));
    spec.columns.push_back(col("memo", ColType::Memo, "'Ответ'"));
    return spec;
}

std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

TEST(Defaults, CreatedTableKeepsThemWhereAccessAndOtherReadersFindThem) {
    const std::string path = zntest::tempDir() + "/defaults.mdb";
    {
        auto db = createDatabase(path);
        Table& t = createTable(*db, withDefaults());
        const Table::ColumnRules& rules = t.columnRules();
        EXPECT_EQ(rules.defaultValue[size_t(t.columnIndex("t"))], u"\"abc\"");
        EXPECT_EQ(rules.defaultValue[size_t(t.columnIndex("plain"))], u"");
        EXPECT_TRUE(rules.required[size_t(t.columnIndex("r"))]);
        EXPECT_FALSE(rules.zeroLengthAllowed[size_t(t.columnIndex("t"))]);
        EXPECT_TRUE(rules.zeroLengthAllowed[size_t(t.columnIndex("memo"))]);
        CheckReport rep = checkDatabase(*db);
        EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);
    }
    zntest::CommandResult schema =
        zntest::run({"mdb-schema", "--default-values", "--not-null", "-T", "D", path, "postgres"});
    if (schema.exitCode != 0) GTEST_SKIP() << "mdbtools is not installed (run tools/setup.sh)";
    std::vector<std::string> columns;
    for (auto& l : lines(schema.out))
        if (l.starts_with("\t\"")) columns.push_back(l);
    // mdbtools shows the expressions as stored.
    EXPECT_EQ(columns,
              (std::vector<std::string>{
                  "\t\"id\"\t\t\tSERIAL, ",
                  "\t\"n\"\t\t\tINTEGER DEFAULT 42, ",
                  "\t\"b\"\t\t\tBOOLEAN NOT NULL DEFAULT TRUE, ",
                  "\t\"t\"\t\t\tVARCHAR (20) DEFAULT 'abc', ",
                  "\t\"m\"\t\t\tNUMERIC(15,2) DEFAULT =1.5, ",
                  "\t\"dt\"\t\t\tTIMESTAMP WITHOUT TIME ZONE DEFAULT #2024-02-29 13:45:00#, ",
                  "\t\"made\"\t\t\tTIMESTAMP WITHOUT TIME ZONE DEFAULT =Now(), ",
                  "\t\"r\"\t\t\tINTEGER NOT NULL DEFAULT =Date(), ",
                  "\t\"plain\"\t\t\tINTEGER, ",
                  "\t\"memo\"\t\t\tTEXT DEFAULT 'Ответ'",
              }))
        << schema.out;
    // Access' own names and types of the properties, per column (in no particular order).
    zntest::CommandResult props = zntest::run({"mdb-prop", path, "D"});
    std::map<std::string, std::set<std::string>> byColumn;
    std::string current;
    for (auto& l : lines(props.out)) {
        if (l.starts_with("name: "))
            current = l.substr(6);
        else if (l.starts_with("\t"))
            byColumn[current].insert(l.substr(1));
    }
    using Set = std::set<std::string>;
    EXPECT_EQ(byColumn["r"], (Set{"DefaultValue: =Date()", "Required: yes"}));
    EXPECT_EQ(byColumn["t"], (Set{"DefaultValue: \"abc\"", "Required: no", "AllowZeroLength: no"}));
    EXPECT_EQ(byColumn["memo"],
              (Set{"DefaultValue: 'Ответ'", "Required: no", "AllowZeroLength: yes"}));
    EXPECT_EQ(byColumn["plain"], (Set{"Required: no"}));
}

TEST(Defaults, LeftOutColumnsTakeTheirDefaults) {
    const std::string path = zntest::tempDir() + "/defaults.mdb";
    {
        auto db = createDatabase(path);
        Table& t = createTable(*db, withDefaults());
        const size_t n = t.def().columns.size();
        auto at = [&](const char* name) { return size_t(t.columnIndex(name)); };

        // Only r given: every other column takes its default; an expression leaves NULL.
        Row row(n);
        std::vector<bool> given(n, false);
        row[at("r")] = int64_t(5);
        given[at("r")] = true;
        row[at("n")] = int64_t(999);  // not given: ignored
        RowId id = t.insert(row, given);
        Row want(n);
        want[at("id")] = int64_t(1);
        want[at("n")] = int64_t(42);
        want[at("b")] = true;
        want[at("t")] = std::u16string(u"abc");
        want[at("m")] = Currency{15000};
        want[at("dt")] = DateTime{45351.0 + (13 * 3600 + 45 * 60) / 86400.0};
        want[at("r")] = int64_t(5);
        want[at("memo")] = std::u16string(u"Ответ");
        EXPECT_EQ(row, want);
        EXPECT_EQ(t.read(id), want);

        // Given columns keep their values, NULL included.
        Row explicitNull(n);
        std::vector<bool> all(n, true);
        explicitNull[at("r")] = int64_t(6);
        t.insert(explicitNull, all);
        EXPECT_EQ(explicitNull[at("n")], Value());
        EXPECT_EQ(explicitNull[at("b")], Value());

        // The required column with a default it cannot evaluate must be given.
        const auto before = zntest::readFile(path);
        Row missing(n);
        try {
            t.insert(missing, std::vector<bool>(n, false));
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            const std::string m = e.what();
            EXPECT_EQ(e.kind(), ErrorKind::Constraint);
            EXPECT_NE(m.find("\"r\""), std::string::npos) << m;
            EXPECT_NE(m.find("=Date()"), std::string::npos) << m;
        }
        EXPECT_TRUE(zntest::readFile(path) == before) << "the file changed";
        CheckReport rep = checkDatabase(*db);
        EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);
    }
    std::string why;
    const std::string theirs = zntest::mdbReaderDump(path, {"--all"}, &why);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_TRUE(zntest::sameDump(zntest::ourDump(path, {"--all"}), theirs));
    EXPECT_TRUE(zntest::sameDump(zntest::mdbToolsView(zntest::ourDump(path, {"--all"})),
                                 zntest::mdbToolsView(zntest::mdbToolsDump(path, {"--all"}))));
}

TEST(Defaults, AccessMadeDefaultsApply) {
    ZN_REQUIRE_FIXTURES();
    // Access gives new number columns the default 0: Table1's otherfk columns have it.
    const std::string path = zntest::tempDir() + "/db.mdb";
    zntest::copyFile(zntest::fixture("access/jk-indexTestV2000.mdb"), path);
    OpenOptions o;
    o.writable = true;
    auto db = Database::open(path, o);
    Table& t = db->table("Table1");
    const size_t n = t.def().columns.size();
    Row r(n);
    std::vector<bool> given(n, false);
    r[size_t(t.columnIndex("id"))] = int64_t(77);
    given[size_t(t.columnIndex("id"))] = true;
    // otherfk2's default 0 names no row of Table3, which its enforced relationship refuses: it
    // is given a parent that exists.
    r[size_t(t.columnIndex("otherfk2"))] = int64_t(10);
    given[size_t(t.columnIndex("otherfk2"))] = true;
    RowId id = t.insert(r, given);
    Row back = t.read(id);
    for (const char* c : {"otherfk1", "otherfk3"})
        EXPECT_EQ(back[size_t(t.columnIndex(c))], Value(int64_t(0))) << c;
    EXPECT_EQ(back[size_t(t.columnIndex("otherfk2"))], Value(int64_t(10)));
    EXPECT_EQ(back[size_t(t.columnIndex("data"))], Value());
    CheckReport rep = checkDatabase(*db);
    EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);
}

TEST(Defaults, ALiteralTheColumnCannotHoldIsRefusedAtCreation) {
    const std::string path = zntest::tempDir() + "/defaults.mdb";
    auto db = createDatabase(path);
    for (auto [type, dflt] : std::vector<std::pair<ColType, const char*>>{
             {ColType::Byte, "300"}, {ColType::Boolean, "'x'"}, {ColType::DateTime, "1e9"}}) {
        SCOPED_TRACE(dflt);
        ColumnSpec c{"c", type};
        c.defaultValue = dflt;
        try {
            createTable(*db, TableSpec{"T", {c}, {}});
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Constraint);
            EXPECT_NE(std::string(e.what()).find("\"c\""), std::string::npos) << e.what();
        }
        EXPECT_FALSE(db->hasTable("T"));
    }
}

}  // namespace
