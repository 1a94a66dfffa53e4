// Text conversions (HTML to plain text and back, category paths), format detection, and the
// exchange file seen through the neutral model.
#include <gtest/gtest.h>

#include "formats/exchange.h"
#include "formats/formats.h"
#include "formats/text.h"
#include "formats_testing.h"

namespace {

using namespace formatstest;

TEST(Text, HtmlBecomesPlainTextWithLineBreaks) {
    const struct {
        const char* html;
        const char* text;
    } cases[] = {
        {"a  \n\t b", "a b"},
        {"<p>one</p><p>two</p>", "one\r\ntwo"},
        {"<div><p>nested</p></div>after", "nested\r\nafter"},
        {"line<br>next<br/>last<BR >", "line\r\nnext\r\nlast"},
        {"<p>a</p><br><p>b</p>", "a\r\n\r\nb"},
        {"  <p>  padded  </p>  ", "padded"},
        {"&lt;b&gt; &amp;amp; &quot;q&quot; &#1071; &#x42f; &unknown; & x",
         "<b> &amp; \"q\" Я Я "
         "&unknown; & x"},
        {"a&nbsp;&nbsp;b&nbsp;", "a  b "},
        {"2 < 3 and 5 <= 6", "2 < 3 and 5 <= 6"},
        {"<!-- hidden -->shown<script>x()</script><style>p{}</style>", "shown"},
        {"<pre>  keep\n  this</pre>", "  keep\r\n  this"},
        {"<ul><li>one</li><li>two</li></ul>", "one\r\ntwo"},
        {"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>", "a b\r\nc"},
        {"<img src=\"x.png\" alt=\"a > b\">text", "text"},
        {"<span title='a>b'>text</span>", "text"},
        {"cut <b", "cut"},
        {"&#0; &#x110000; &#55296;", "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.html);
        EXPECT_EQ(toPlainText(QString::fromUtf8(c.html), TextFormat::Html).text,
                  QString::fromUtf8(c.text));
    }
    const PlainText withPictures =
        toPlainText(QStringLiteral("<img src=\"@@PLUGINFILE@@/a%20b.png\"><IMG SRC=x&amp;y>"),
                    TextFormat::Html);
    EXPECT_EQ(withPictures.images,
              QStringList({QStringLiteral("@@PLUGINFILE@@/a%20b.png"), QStringLiteral("x&y")}));
}

TEST(Text, MarkdownKeepsItsLinesWithoutTheMarks) {
    const struct {
        const char* markdown;
        const char* text;
    } cases[] = {
        {"# Title #\n\n## Sub\ntext", "Title\r\n\r\nSub\r\ntext"},
        {"#hashtag stays", "#hashtag stays"},
        {"**bold** and __strong__ and a _____ blank", "bold and strong and a _____ blank"},
        {"** loose ** and **open", "** loose ** and **open"},
        {"\\*not\\* \\*\\*emphasis\\*\\*", "*not* **emphasis**"},
        {"`**code**` stays", "**code** stays"},
        {"[link](http://x) and [not a link] and [open", "link and [not a link] and [open"},
        {"a ![pic](@@PLUGINFILE@@/p.png \"title\") b", "a  b"},
        {"trailing blanks  \n\n\n", "trailing blanks"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.markdown);
        EXPECT_EQ(toPlainText(QString::fromUtf8(c.markdown), TextFormat::Markdown).text,
                  QString::fromUtf8(c.text));
    }
    EXPECT_EQ(toPlainText(QStringLiteral("![a](x.png) ![b](y.gif)"), TextFormat::Markdown).images,
              QStringList({QStringLiteral("x.png"), QStringLiteral("y.gif")}));
}

// Whatever the bank holds comes back from its HTML (line breaks at the very start and end
// aside, which HTML drops).
TEST(Text, HtmlFromPlainReadsBackExactly) {
    const QString texts[] = {
        QStringLiteral("simple"),
        QStringLiteral(" leading and trailing "),
        QStringLiteral("two  spaces   three    four"),
        QStringLiteral("tab\there\t\tand \t mixed"),
        QStringLiteral("<b>markup</b> & &amp; &nbsp; < >"),
        QStringLiteral("lines\r\n\r\n  indented\r\nlast "),
        QStringLiteral("\u00A0non-breaking\u00A0 kept"),
        QStringLiteral(" "),
    };
    for (const QString& t : texts) {
        SCOPED_TRACE(t.toStdString());
        EXPECT_EQ(toPlainText(htmlFromPlain(t), TextFormat::Html).text, t);
    }
    EXPECT_EQ(toPlainText(htmlFromPlain(QStringLiteral("a\nb\rc")), TextFormat::Html).text,
              QStringLiteral("a\r\nb\r\nc"));
}

TEST(Text, CategoryPathsNameTopics) {
    const struct {
        const char* path;
        const char* topic;
    } cases[] = {
        {"$course$/top/Алгебра", "Алгебра"},
        {"$course$/top/Алгебра/Дроби", "Дроби"},
        {"$course$/Алгебра", "Алгебра"},
        {"$system$/top", ""},
        {"$course$/top/", ""},
        {"tom/dick/harry", "harry"},
        {"top", "top"},
        {"$module$/top/a//b", "a/b"},
        {"$course$/top/a////b", "a//b"},
        {"$course$/top///lead", "/lead"},
        {"$course$/top/trail//", "trail/"},
        {"  $course$/top/  Пробелы  ", "Пробелы"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(topicFromCategory(QString::fromUtf8(c.path)), QString::fromUtf8(c.topic));
    }
    for (const QString& topic : {QStringLiteral("a/b"), QStringLiteral("/x/"),
                                 QStringLiteral("a//b"), QStringLiteral("Тема")})
        EXPECT_EQ(topicFromCategory(categoryForTopic(topic)), topic);
}

TEST(Formats, DetectionLooksAtBytesThenNameThenLines) {
    const struct {
        const char* what;
        QByteArray bytes;
        const char* name;
        Format format;
    } cases[] = {
        {"a database whatever its name", QByteArray("\0\1\0\0Standard Jet DB\0", 20), "a.txt",
         Format::Mdb},
        {"a database by name", "", "bank.MDB", Format::Mdb},
        {"XML whatever its name", "\xEF\xBB\xBF  <?xml version=\"1.0\"?><quiz/>", "q.txt",
         Format::MoodleXml},
        {"by extension", "anything", "q.xml", Format::MoodleXml},
        {"by extension", "anything", "q.gift", Format::Gift},
        {"by extension", "anything", "q.csv", Format::Csv},
        {"GIFT by its answers", "Q {=a ~b}", "q.txt", Format::Gift},
        {"GIFT by true/false", "Q {T}", "q.txt", Format::Gift},
        {"GIFT by a category", "$CATEGORY: x\n", "q.txt", Format::Gift},
        {"GIFT by a name", "::n:: Q {}", "q.txt", Format::Gift},
        {"Aiken", "Q\nA. x\nB. y\nANSWER: A\n", "q.txt", Format::Aiken},
        {"the exchange file", "01.Тема\r\n\r\n01.01.Вопрос\r\n1\r\n1.a\r\n", "q.txt",
         Format::Exchange},
        {"a CSV without its extension", "Т;В;а;б;1\n", "q.txt", Format::Csv},
        {"unknown text", "hello", "q.txt", Format::Exchange},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(detectFormat(c.bytes, QString::fromUtf8(c.name)), c.format);
    }
    for (Format f : {Format::Exchange, Format::MoodleXml, Format::Gift, Format::Aiken, Format::Csv,
                     Format::Mdb})
        EXPECT_EQ(formatFromCode(formatCode(f)), f);
    EXPECT_FALSE(formatFromCode(QStringLiteral("docx")).has_value());
}

TEST(Formats, TheExchangeFileReadsIntoNamedTopics) {
    const QByteArray file = zn::exchange::toWindows1251(
        QStringLiteral("01.Алгебра\r\n\r\n"
                       "01.01.Сколько?\r\n2\r\n1.3\r\n2.4\r\npic1.jpg\r\n\r\n"
                       "01.02.Без верного\r\n5\r\n1.a\r\n2.b\r\n\r\n"
                       "02.Геометрия\r\n\r\n"
                       "02.01.Угол?\r\n1\r\n1.90\r\n2.45\r\n3.30\r\npic1.jpg\r\n\r\n"
                       "07.01.Сирота\r\n1\r\n1.a\r\n2.b\r\n\r\n"
                       "xx.Плохая тема\r\n"));
    const ReadResult r = read(Format::Exchange, file);
    ASSERT_EQ(r.questions.size(), 2u) << problemsOf(r);
    EXPECT_EQ(r.questions[0].topic, QStringLiteral("Алгебра"));
    EXPECT_EQ(r.questions[0].answers, answers({"3", "4"}));
    EXPECT_EQ(r.questions[0].correct, 2);
    EXPECT_EQ(r.questions[1].topic, QStringLiteral("Геометрия"));
    EXPECT_EQ(r.questions[1].where.line, 16);
    ASSERT_EQ(r.pictures.size(), 1u);
    EXPECT_EQ(r.pictures[0].name, QStringLiteral("pic1.jpg"));
    EXPECT_EQ(r.questions[1].picture, 0);
    ASSERT_EQ(r.problems.size(), 3u) << problemsOf(r);
    EXPECT_EQ(r.problems[0].where.line, 9);
    EXPECT_TRUE(r.problems[0].what.contains(QStringLiteral("номер верного ответа 5")));
    EXPECT_EQ(r.problems[1].where.line, 23);
    EXPECT_TRUE(r.problems[1].what.contains(QStringLiteral("нет темы с номером 7")));
    EXPECT_EQ(r.problems[2].where.line, 28);
}

}  // namespace
