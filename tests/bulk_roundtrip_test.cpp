// Export then import through the bulk commands, without the windows: the shared sample banks
// and one of our own with every hazard read back exactly as the format allows, and the command
// steps' feedback.
#include <QDir>
#include <set>

#include "bulk/importexport.h"
#include "store/tdatmod.h"
#include "tests/bulk_testing.h"
#include "tests/store_testing.h"

namespace {

using bulktest::Recorder;
using zn::BankExchange;
using zn::BulkError;
namespace ex = zn::exchange;

struct RoundTrip {
    std::vector<ex::Hazard> hazards;  // what the export said would not read back
    QString importError;              // why the import refused the file ("" when it took it)
    QStringList before, after;        // the bank as the editor shows it
};

// Exports the bank at `path` to a file beside it and imports that file back in its place.
RoundTrip roundTrip(const QString& path) {
    RoundTrip r;
    r.before = bulktest::view(edtest::readBank(path));
    const QString txt = QFileInfo(path).path() + QStringLiteral("/обмен.txt");
    {
        Recorder fb;
        zn::TDatMod dm;
        zn::Session session{QString(), path};
        dm.connectTo(path);
        dm.qrtema.open();
        dm.tbSettings.open();
        BankExchange x(dm, fb, session, {});
        EXPECT_TRUE(x.exportTo(txt));
        r.hazards = ex::readBackHazards(x.readBank());
        try {
            x.importFrom(txt);
        } catch (const BulkError& e) {
            r.importError = e.message();
        }
    }
    r.after = bulktest::view(edtest::readBank(path));
    return r;
}

// `lines` as the format gives them back: characters outside Windows-1251 as "?", lines cut to
// 4096 characters (`prefix` is what the line holds before the text).
QString readBack(const QString& text, int prefix) {
    return ex::decode(ex::toWindows1251(text)).left(ex::kMaxLineLength - prefix);
}

// The expected view after a round trip: the texts as readBack gives them back.
QStringList expectedAfter(const edtest::Snapshot& s) {
    edtest::Snapshot e = s;
    for (auto& t : e.topics) t.tema = readBack(t.tema, int(ex::paddedNumber(t.numtema).size()) + 1);
    for (auto& q : e.questions)
        q.vopros = readBack(
            q.vopros,
            int(ex::paddedNumber(q.idtest).size() + ex::paddedNumber(q.idvopr).size()) + 2);
    for (auto& a : e.answers) a.otvet = readBack(a.otvet, int(QString::number(a.idotv).size()) + 1);
    return bulktest::view(e);
}

// The items whose texts the format gives back changed (topics with question -1).
std::set<std::pair<qint64, qint64>> changedItems(const edtest::Snapshot& s) {
    std::set<std::pair<qint64, qint64>> out;
    for (const auto& t : s.topics)
        if (readBack(t.tema, int(ex::paddedNumber(t.numtema).size()) + 1) != t.tema)
            out.insert({t.numtema, -1});
    for (const auto& q : s.questions) {
        bool changed = readBack(q.vopros, int(ex::paddedNumber(q.idtest).size() +
                                              ex::paddedNumber(q.idvopr).size()) +
                                              2) != q.vopros;
        for (const auto& a : s.answersOf(q.id))
            changed |= readBack(a.otvet, int(QString::number(a.idotv).size()) + 1) != a.otvet;
        if (changed) out.insert({q.idtest, q.idvopr});
    }
    return out;
}

// The shared banks hold questions whose texts run over several lines: the export names them,
// and the import refuses the file at the first continuation line, leaving the bank as it was.
// With the line breaks joined the file goes in, and the bank reads back the same but for the
// texts the format changes, which are exactly the items the export named: characters outside
// Windows-1251 become "?", lines longer than 4096 characters are cut.
void sharedBankRoundTrip(const char* fixture) {
    const QString path = storetest::copyOfFixture(fixture);
    const QByteArray original = bulktest::bytesOf(path);
    {
        const RoundTrip r = roundTrip(path);
        EXPECT_NE(std::find_if(r.hazards.begin(), r.hazards.end(),
                               [](const ex::Hazard& h) {
                                   return h.what.contains(QStringLiteral("перевод строки"));
                               }),
                  r.hazards.end());
        EXPECT_TRUE(r.importError.contains(QStringLiteral("is not a valid integer value\nСтрока ")))
            << r.importError.toStdString();
        EXPECT_EQ(bulktest::bytesOf(path), original);
    }
    bulktest::joinLines(path);
    const edtest::Snapshot joined = edtest::readBank(path);
    const QStringList expected = expectedAfter(joined);
    const RoundTrip r = roundTrip(path);
    EXPECT_EQ(r.importError, QString());
    std::set<std::pair<qint64, qint64>> named;
    for (const ex::Hazard& h : r.hazards) named.insert({h.topic, h.question});
    EXPECT_EQ(named.size(), r.hazards.size());
    EXPECT_EQ(named, changedItems(joined));
    EXPECT_FALSE(named.empty());
    EXPECT_EQ(r.after, expected);
    storetest::expectIntact(path);
    EXPECT_TRUE(zntest::readersAgree(path.toStdString()));
}

TEST(BulkRoundTrip, SampleBank) {
    ZN_REQUIRE_FIXTURES();
    sharedBankRoundTrip("sample-test.mdb");
}

TEST(BulkRoundTrip, LargeBank) {
    ZN_REQUIRE_FIXTURES();
    sharedBankRoundTrip("large-test.mdb");
}

// Our own bank with every hazard that still lets the file in: each reads back as the format
// says, and the export names exactly these items.
TEST(BulkRoundTrip, OwnBankWithEveryHazard) {
    const QString path = QString::fromStdString(zntest::tempDir()) + "/опасности.mdb";
    const QString longText(5000, u'ж');
    edtest::makeBank(
        path, {{"Обычная",
                {{"Без опасностей", 2, {"да", "нет"}, "1.jpg"},  // "1.jpg" looks like an answer
                 {"Ответ с точки", 1, {".5", "..", "3.c"}, "12.jpg"},  // reads back right
                 {"Иностранное: Grüße", 1, {"ü", "b"}, {}},            // "?"
                 {longText, 1, {"a", "b"}, {}},                        // cut
                 {"Перенос в последнем ответе", 1, {"a", "b\r\nc"}, {}}}},
               {"Тема с «кавычками» — и тире", {}}});
    // A question number of four digits.
    bulktest::withDatabase(path, [](jet::Database& db) {
        jet::Table& v = db.table("Voprosi");
        for (auto sc = v.scan(); sc.next();) {
            if (std::get<int64_t>(sc.row()[bulktest::col(v, "idvopr")]) != 1) continue;
            if (std::get<int64_t>(sc.row()[bulktest::col(v, "idtest")]) != 1) continue;
            jet::Row row = sc.row();
            row[bulktest::col(v, "idvopr")] = int64_t(1234);
            v.update(sc.id(), row);
            break;
        }
    });
    const RoundTrip r = roundTrip(path);
    EXPECT_EQ(r.importError, QString());
    std::vector<std::pair<qint64, qint64>> named;
    for (const ex::Hazard& h : r.hazards) named.emplace_back(h.topic, h.question);
    EXPECT_EQ(named, (std::vector<std::pair<qint64, qint64>>{{1, 3}, {1, 4}, {1, 5}, {1, 1234}}));
    const QStringList expected = {
        "T 1 [Обычная] count 5",
        "  Q 1.2 correct 1 of 3 img [12.jpg] [Ответ с точки]",
        "    A 1 [.5]",
        "    A 2 [..]",
        "    A 3 [3.c]",
        "  Q 1.3 correct 1 of 2 img [] [Иностранное: Gr??e]",
        "    A 1 [?]",
        "    A 2 [b]",
        "  Q 1.4 correct 1 of 2 img [] [" + longText.left(ex::kMaxLineLength - 6) + "]",
        "    A 1 [a]",
        "    A 2 [b]",
        // The continuation line "c" is taken for the picture.
        "  Q 1.5 correct 1 of 2 img [c] [Перенос в последнем ответе]",
        "    A 1 [a]",
        "    A 2 [b]",
        // The question numbered 1234 is read as number 123 with its text after the "."; its
        // picture "1.jpg" sets the answer count to 1: one answer and no picture.
        "  Q 1.123 correct 2 of 1 img [] [.Без опасностей]",
        "    A 1 [да]",
        "T 2 [Тема с «кавычками» — и тире] count 0",
    };
    EXPECT_EQ(r.after, expected);
    EXPECT_TRUE(zntest::readersAgree(path.toStdString()));
}

// What the import shows while it runs and where it leaves the bar.
TEST(BulkImport, StatusTextsAndProgress) {
    const QString path = QString::fromStdString(zntest::tempDir()) + "/банк.mdb";
    edtest::makeBank(path, {edtest::topic("А", 1), edtest::topic("Б", 1), edtest::topic("В", 1)});
    const QString txt = QFileInfo(path).path() + "/две.txt";
    bulktest::writeBytes(txt, "01.X\r\n\r\n02.Y\r\n\r\n");
    Recorder fb;
    int rebuilt = 0;
    {
        zn::TDatMod dm;
        zn::Session session{QString(), path};
        dm.connectTo(path);
        dm.qrtema.open();
        dm.tbSettings.open();
        BankExchange x(dm, fb, session, [&] {
            ++rebuilt;
            EXPECT_EQ(fb.statuses.back(), QStringLiteral("Обновление дерева"));
            // The deletion's bar ended at 3, the import's counted two topic lines of 14.
            EXPECT_EQ(fb.position, 2);
            EXPECT_EQ(fb.max, 14);
        });
        x.importFrom(txt);
        EXPECT_EQ(dm.qrtema.recordCount(), 2);
        EXPECT_EQ(dm.qrtema.asString("tema"), QStringLiteral("X"));
    }
    EXPECT_EQ(rebuilt, 1);
    EXPECT_EQ(fb.statuses, (QStringList{"Импорт данных", "Обновление дерева", ""}));
    EXPECT_EQ(fb.position, 0);
    EXPECT_TRUE(fb.messages.empty());
    // Importing an empty file empties the bank, once the person has said so.
    bulktest::writeBytes(txt, QByteArray());
    fb.answer = true;
    {
        zn::TDatMod dm;
        zn::Session session{QString(), path};
        dm.connectTo(path);
        dm.qrtema.open();
        BankExchange x(dm, fb, session, {});
        x.importFrom(txt);
        EXPECT_EQ(dm.qrtema.recordCount(), 0);
    }
    EXPECT_TRUE(edtest::readBank(path).topics.empty());
    EXPECT_TRUE(bulktest::compactionLeftovers(QFileInfo(path).path()).isEmpty());
    EXPECT_EQ(fb.questions, QStringList{BankExchange::emptyFileQuestion()});
}

// The real file system, remembering the files it creates.
class CreationLog : public jet::Env {
  public:
    std::unique_ptr<jet::File> open(const std::string& path, jet::OpenMode mode) override {
        if (mode == jet::OpenMode::Create || mode == jet::OpenMode::CreateNew)
            created.push_back(path);
        return jet::Env::posix().open(path, mode);
    }
    bool exists(const std::string& p) override { return jet::Env::posix().exists(p); }
    void remove(const std::string& p) override { jet::Env::posix().remove(p); }
    void rename(const std::string& a, const std::string& b) override {
        jet::Env::posix().rename(a, b);
    }
    void syncDirOf(const std::string& p) override { jet::Env::posix().syncDirOf(p); }
    std::vector<std::string> list(const std::string& d) override {
        return jet::Env::posix().list(d);
    }
    std::vector<std::string> created;
};

// A database path without a folder: the copy is made in the current folder, and replaces the
// file there.
TEST(BulkCompaction, APathWithoutAFolderUsesTheCurrentOne) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    edtest::makeBank(dir + "/банк.mdb", {edtest::topic("Тема", 3)});
    const QStringList bank = bulktest::view(edtest::readBank(dir + "/банк.mdb"));
    storetest::CurrentDir here(dir);
    CreationLog env;
    Recorder fb;
    EXPECT_TRUE(zn::CompactDatabase_JRO(QStringLiteral("банк.mdb"), fb, &env));
    EXPECT_TRUE(fb.messages.empty());
    // Besides the lock file, the compacted copy: mdb<number>.tmp, in the current folder.
    auto temp = std::find_if(env.created.begin(), env.created.end(),
                             [](const std::string& n) { return n.ends_with(".tmp"); });
    ASSERT_NE(temp, env.created.end());
    EXPECT_TRUE(QString::fromStdString(*temp).startsWith(QStringLiteral("mdb"))) << *temp;
    EXPECT_TRUE(bulktest::compactionLeftovers(dir).isEmpty());
    EXPECT_EQ(bulktest::view(edtest::readBank(dir + "/банк.mdb")), bank);
}

}  // namespace
