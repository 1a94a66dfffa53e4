// Connection strings (parsing and the settings honoured), number conversion, the query form,
// and opening the connection: relative paths, missing files, passwords, read-only mode.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "store/connectionstring.h"
#include "store/convert.h"
#include "store/dbconnection.h"
#include "store/sqlselect.h"
#include "store/tdatmod.h"
#include "tests/store_testing.h"

using storetest::errorOf;
using storetest::utf8;

namespace {

const char kBadFormat[] = "The connection string is not well formed: ";

struct ParseCase {
    const char* text;
    const char* key;       // key to look up (nullptr: an error is expected)
    const char* expected;  // its value, or the error message
};

TEST(ConnectionString, ParsesPairsQuotesAndBlanks) {
    const ParseCase cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=test.mdb;Persist Security Info=False",
         "Data Source", "test.mdb"},
        {"Extended Properties=\"\";Jet OLEDB:Database Password=\"\";Mode=Share Deny None",
         "Jet OLEDB:Database Password", ""},
        {"Extended Properties=\"\";Mode=Share Deny None", "Mode", "Share Deny None"},
        {"Jet OLEDB:Don't Copy Locale on Compact=False;Jet OLEDB:SFP=False", "Jet OLEDB:SFP",
         "False"},
        {"Jet OLEDB:Don't Copy Locale on Compact=False", "jet oledb:don't copy locale on compact",
         "False"},
        {"Data Source=\"C:\\a;b\\t.mdb\";Mode=Read", "Data Source", "C:\\a;b\\t.mdb"},
        {"Extended Properties=\"say \"\"hi\"\"\"", "Extended Properties", "say \"hi\""},
        {"Data Source='it''s \"here\".mdb'", "Data Source", "it's \"here\".mdb"},
        {"  Provider = Microsoft.Jet.OLEDB.4.0 ; Data Source =  my db.mdb  ;;", "Data Source",
         "my db.mdb"},
        {"Data Source = \"  padded  \"  ;", "Data Source", "  padded  "},
        {"a==b=c", "a=b", "c"},
        {"Data Source=a.mdb;data source=b.mdb", "Data Source", "b.mdb"},
        {"Data Source=", "Data Source", ""},
        {"Data Source=\"x.mdb", nullptr, "a quoted value has no closing quote."},
        {"Data Source=\"x.mdb\" y;Mode=Read", nullptr, "text follows a closing quote."},
        {"Provider;Data Source=x.mdb", nullptr, "a setting has no \"=\"."},
        {"=x.mdb", nullptr, "a setting has no name before \"=\"."},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.key) {
            zn::ConnectionString cs = zn::ConnectionString::parse(QString::fromUtf8(c.text));
            EXPECT_TRUE(cs.contains(QString::fromUtf8(c.key)));
            EXPECT_EQ(utf8(cs.value(QString::fromUtf8(c.key))), c.expected);
        } else {
            EXPECT_EQ(errorOf([&] { zn::ConnectionString::parse(QString::fromUtf8(c.text)); }),
                      std::string(kBadFormat) + c.expected);
        }
    }
}

TEST(ConnectionString, SettingsHonouredOrRefused) {
    const std::string p = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb;";
    struct Case {
        std::string text;
        bool writable;
        const char* error;  // nullptr: accepted
    } cases[] = {
        {p, true, nullptr},
        {p + "Mode=Share Deny None", true, nullptr},
        {p + "Mode=Read", false, nullptr},
        {p + "Mode=Read|Share Deny None", false, nullptr},
        {p + "Mode=ReadWrite|Share Exclusive", true, nullptr},
        {p + "Mode=1", false, nullptr},
        {p + "Mode=3", true, nullptr},
        {p + "Mode=Sometimes", true, "The connection mode \"Sometimes\" is not valid"},
        {"provider=microsoft.jet.oledb.4.0;Data Source=x.mdb", true, nullptr},
        {"Data Source=x.mdb", true, "Provider cannot be found. It may not be properly installed."},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=x.mdb", true,
         "Provider cannot be found. It may not be properly installed."},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Mode=Read", true,
         "The connection string names no Data Source"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string err = errorOf([&] {
            auto s =
                zn::connectionSettings(zn::ConnectionString::parse(QString::fromStdString(c.text)));
            EXPECT_EQ(s.writable, c.writable);
            EXPECT_EQ(utf8(s.dataSource), "x.mdb");
        });
        EXPECT_EQ(err, c.error ? c.error : "(no error)");
    }
}

TEST(ConnectionString, DataModuleStringIsTheEditorsAndRoundTripsAnyPath) {
    EXPECT_EQ(utf8(zn::TDatMod::connectionString("/home/u/test.mdb")),
              "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=/home/u/test.mdb;"
              "Mode=Share Deny None;Extended Properties=\"\";Jet OLEDB:System database=\"\";"
              "Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=\"\";"
              "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global "
              "Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database "
              "Password=\"\";Jet OLEDB:Create System Database=False;"
              "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;"
              "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");
    for (const char* path : {"/tmp/a b/test.mdb", "/tmp/semi;colon.mdb", "\"quoted\".mdb",
                             " lead.mdb", "/tmp/тест.mdb"}) {
        SCOPED_TRACE(path);
        auto s = zn::connectionSettings(
            zn::ConnectionString::parse(zn::TDatMod::connectionString(QString::fromUtf8(path))));
        EXPECT_EQ(utf8(s.dataSource), path);
        EXPECT_TRUE(s.password.isEmpty());
        EXPECT_TRUE(s.writable);
    }
}

TEST(Convert, StrToIntFollowsTheLibraryRules) {
    struct Case {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"12", 12},
        {"  -7", -7},
        {"+5", 5},
        {"007", 7},
        {"$1F", 31},
        {"x1f", 31},
        {"0x10", 16},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"12 ", std::nullopt},
        {"1 класс", std::nullopt},
        {"\t5", std::nullopt},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"-", std::nullopt},
        {"1.5", std::nullopt},
        {"1e3", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(zn::tryStrToInt(QString::fromUtf8(c.text)), c.value);
    }
    EXPECT_EQ(errorOf([] { zn::strToInt(QString::fromUtf8("1 ")); }),
              "'1 ' is not a valid integer value");
    EXPECT_EQ(errorOf([] { zn::strToInt(""); }), "'' is not a valid integer value");
}

TEST(Convert, GeneralNumberForm) {
    EXPECT_EQ(utf8(zn::formatG(40000)), "40000");
    EXPECT_EQ(utf8(zn::formatG(-2147483648.0)), "-2147483648");
    EXPECT_EQ(utf8(zn::formatG(1.5)), "1.5");
    EXPECT_EQ(utf8(zn::formatG(1e20)), "1E20");
    EXPECT_EQ(utf8(zn::formatG(1.5e-7)), "1.5E-7");
}

TEST(SelectStatement, AcceptsTheModulesQueriesAndRefusesOthers) {
    auto s = zn::parseSelect("select * from Otveti where idvopr=:idvopr order by idotv ;");
    EXPECT_EQ(utf8(s.table), "Otveti");
    EXPECT_EQ(utf8(s.whereColumn), "idvopr");
    EXPECT_EQ(utf8(s.parameter), "idvopr");
    EXPECT_EQ(utf8(s.orderColumn), "idotv");
    s = zn::parseSelect("SELECT *\nFROM Tema ORDER BY numtema");
    EXPECT_EQ(utf8(s.table), "Tema");
    EXPECT_TRUE(s.whereColumn.isEmpty());
    s = zn::parseSelect("select * from Voprosi where idtest = :idtest order by idvopr;");
    EXPECT_EQ(utf8(s.parameter), "idtest");

    for (const char* bad :
         {"select id from Tema order by numtema", "select * from Tema", "delete from Tema",
          "select * from Tema where numtema=1 order by numtema",
          "select * from Tema where numtema>:n order by numtema",
          "select * from Tema order by numtema desc", "select * from Tema order by numtema;;",
          "select * from Tema, Voprosi order by numtema", "select * from order order by id"}) {
        SCOPED_TRACE(bad);
        try {
            zn::parseSelect(bad);
            ADD_FAILURE() << "accepted";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Unsupported);
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Opening

QString jetString(const QString& source, const QString& extra = {}) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + source + ";" + extra;
}

TEST(Connection, RelativeDataSourceIsTakenAgainstTheCurrentDirectory) {
    ZN_REQUIRE_FIXTURES();
    QString file = storetest::copyOfFixture("sample-test.mdb", "test.mdb");
    QString dir = QFileInfo(file).absolutePath();
    storetest::CurrentDir cd(dir);
    zn::DbConnection c;
    c.setConnectionString(zn::TDatMod::creationConnectionString());
    c.open();
    EXPECT_TRUE(c.isOpen());
    EXPECT_EQ(c.fileName(), QFileInfo(file).absoluteFilePath());
    EXPECT_TRUE(c.database().writable());
    EXPECT_EQ(errorOf([&] { c.setConnectionString(jetString("other.mdb")); }),
              "Operation is not allowed when the object is open.");
    c.close();
    EXPECT_FALSE(c.isOpen());
}

TEST(Connection, MissingFileIsReportedWithItsFullPath) {
    std::string dir = zntest::tempDir();
    storetest::CurrentDir cd(QString::fromStdString(dir));
    zn::DbConnection c;
    c.setConnectionString(zn::TDatMod::creationConnectionString());
    EXPECT_EQ(errorOf([&] { c.open(); }),
              "Could not find file '" +
                  QFileInfo(QString::fromStdString(dir)).absoluteFilePath().toStdString() +
                  "/test.mdb'.");
    EXPECT_FALSE(c.isOpen());
    c.setConnectionString(jetString(QString::fromStdString(dir)));  // a folder is no file
    EXPECT_NE(errorOf([&] { c.open(); }).find("Could not find file"), std::string::npos);
}

TEST(Connection, DatabaseWithPasswordIsRefusedUnlessTheRightOneIsGiven) {
    ZN_REQUIRE_FIXTURES();
    QString file = storetest::copyOfFixture("access/password-V2000.mdb");
    zn::DbConnection c;
    c.setConnectionString(zn::TDatMod::connectionString(file));  // the editor's: empty password
    std::string err = errorOf([&] { c.open(); });
    EXPECT_NE(err.find("password"), std::string::npos) << err;
    EXPECT_FALSE(c.isOpen());

    c.setConnectionString(jetString(file, "Jet OLEDB:Database Password=wrong"));
    EXPECT_EQ(errorOf([&] { c.open(); }), "Not a valid password.");
    EXPECT_FALSE(c.isOpen());

    c.setConnectionString(jetString(file, "Jet OLEDB:Database Password=password"));
    c.open();
    EXPECT_TRUE(c.isOpen());
}

TEST(Connection, ReadModeOpensForReadingOnly) {
    ZN_REQUIRE_FIXTURES();
    QString file = storetest::copyOfFixture("sample-test.mdb");
    zn::DbConnection c;
    c.setConnectionString(jetString(file, "Mode=Read"));
    c.open();
    EXPECT_FALSE(c.database().writable());
}

}  // namespace
