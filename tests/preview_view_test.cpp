// What the HTML view draws of the pages: QTextBrowser, set up as the preview HV is, is given a
// question page and a topic summary through htmlForView() and rendered offscreen. The data
// folder's path has blanks, Cyrillic letters, "#", "%" and brackets, and the checks look at
// pixels: the background pictures fill their cells, the cells are framed, the question's picture
// is drawn centred; and at the document: centred headings, the topic heading larger than the
// question heading, the correct answer bold, markup in the texts in effect.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextLayout>
#include <QUrl>

#include "preview/htmlview.h"
#include "preview/pagefeeder.h"
#include "preview/questionpage.h"
#include "tests/preview_testing.h"

using namespace previewtest;

namespace {

const QColor kBorder(0x8d, 0xb2, 0xe3);

// A view set up like the main window's preview.
class View {
  public:
    View() {
        browser.setOpenLinks(false);
        browser.setOpenExternalLinks(false);
        QFont font(QStringLiteral("Times New Roman"), 12);
        font.setStyleHint(QFont::Serif);
        browser.setFont(font);
        browser.document()->setDefaultFont(font);
        browser.resize(700, 2000);
        QPalette pal = browser.palette();
        pal.setColor(QPalette::Base, QColor(255, 251, 240));
        browser.setPalette(pal);
    }
    void load(const QString& page) {
        browser.setHtml(zn::htmlForView(page));
        browser.show();
        QApplication::processEvents();
    }
    QImage render() {
        QImage img(browser.viewport()->size(), QImage::Format_RGB32);
        img.fill(Qt::white);
        browser.viewport()->render(&img);
        return img;
    }
    // The first block whose text starts with `prefix`.
    QTextBlock block(const QString& prefix) const {
        for (QTextBlock b = browser.document()->begin(); b.isValid(); b = b.next())
            if (b.text().startsWith(prefix)) return b;
        return {};
    }
    // Character format of the first fragment holding `text`.
    QTextCharFormat formatOf(const QString& text) const {
        for (QTextBlock b = browser.document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (it.fragment().text().contains(text)) return it.fragment().charFormat();
        ADD_FAILURE() << "no fragment with " << text.toStdString();
        return {};
    }
    zn::HtmlView browser;
};

struct Region {
    int count = 0;
    QRect box;
};

Region pixelsOf(const QImage& img, QColor c) {
    Region r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c) {
                ++r.count;
                r.box |= QRect(x, y, 1, 1);
            }
    return r;
}

class PreviewView : public ::testing::Test {
  protected:
    void SetUp() override {
        ZN_REQUIRE_FIXTURES();
        folder = QString::fromStdString(zntest::tempDir()) +
                 QStringLiteral("/Папка с #1 и 100% (копия)/data/");
        makeDataFolder(folder);
        bank = std::make_unique<TestBank>(dm);
        bank->addTopic(1, QStringLiteral("Тема с картинкой"), 1);
        bank->addQuestion(1, {1,
                              QStringLiteral("  Какое <i>курсивное</i> слово?"),
                              2,
                              3,
                              kPictureName,
                              {{1, QStringLiteral("первый")},
                               {2, QStringLiteral("верный")},
                               {3, QStringLiteral("третий")}}});
        dm.qrtema.open();
        page = zn::VoptoStrUniv(dm, folder, QStringLiteral("1_1"));
    }
    void TearDown() override { bank.reset(); }

    QString folder;
    zn::TDatMod dm;
    std::unique_ptr<TestBank> bank;
    QString page;
};

TEST_F(PreviewView, QuestionPageDrawsBackgroundsBordersAndTheCentredPicture) {
    View view;
    view.load(page);
    const QImage img = view.render();

    // Each background picture fills its cells: the question's two cells, the correct answer's
    // two and the other answers' four.
    const Region bg1 = pixelsOf(img, kBg1), bg2 = pixelsOf(img, kBg2), bg3 = pixelsOf(img, kBg3);
    EXPECT_GT(bg1.count, 5000);
    EXPECT_GT(bg2.count, 5000);
    EXPECT_GT(bg3.count, 2 * 5000);
    // Top to bottom: question, then answer 1 (bg3), the correct answer 2 (bg2), answer 3 (bg3).
    EXPECT_LT(bg1.box.bottom(), bg2.box.top());
    EXPECT_LT(bg3.box.top(), bg2.box.top());
    EXPECT_GT(bg3.box.bottom(), bg2.box.bottom());
    // The tables are nearly the view's width (98%).
    EXPECT_GT(bg1.box.width(), view.browser.viewport()->width() * 9 / 10);

    // The cells are framed in the border colour.
    EXPECT_GT(pixelsOf(img, kBorder).count, 1000);

    // The picture is drawn whole, centred, between the question and the answers.
    const Region pic = pixelsOf(img, kPicture);
    EXPECT_EQ(pic.count, kPictureWidth * kPictureHeight);
    EXPECT_NEAR(pic.box.center().x(), view.browser.viewport()->width() / 2, 12);
    EXPECT_GT(pic.box.top(), bg1.box.bottom());
    EXPECT_LT(pic.box.bottom(), bg3.box.top());
}

TEST_F(PreviewView, CorrectAnswerIsBoldAndMarkupTakesEffect) {
    View view;
    view.load(page);
    EXPECT_GE(view.formatOf(QStringLiteral("верный")).fontWeight(), QFont::Bold);
    EXPECT_LT(view.formatOf(QStringLiteral("первый")).fontWeight(), QFont::Bold);
    EXPECT_LT(view.formatOf(QStringLiteral("третий")).fontWeight(), QFont::Bold);
    // The question text is bold, with its italic word in italics.
    EXPECT_TRUE(view.formatOf(QStringLiteral("курсивное")).fontItalic());
    EXPECT_FALSE(view.formatOf(QStringLiteral("Какое")).fontItalic());
    EXPECT_GE(view.formatOf(QStringLiteral("Какое")).fontWeight(), QFont::Bold);
    // Heading centred.
    const QTextBlock heading = view.block(QStringLiteral("Вопрос № 1"));
    ASSERT_TRUE(heading.isValid());
    EXPECT_TRUE(heading.blockFormat().alignment() & Qt::AlignHCenter);
}

TEST_F(PreviewView, TopicHeadingIsCentredAndLargerThanTheQuestionHeading) {
    View view;
    view.load(QStringLiteral("<center><big><h3>Тема № 1. Тема с картинкой</h3></big>") + page);
    const QTextBlock topic = view.block(QStringLiteral("Тема № 1."));
    const QTextBlock question = view.block(QStringLiteral("Вопрос № 1"));
    ASSERT_TRUE(topic.isValid());
    ASSERT_TRUE(question.isValid());
    EXPECT_TRUE(topic.blockFormat().alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(question.blockFormat().alignment() & Qt::AlignHCenter);
    ASSERT_GT(topic.layout()->lineCount(), 0);
    ASSERT_GT(question.layout()->lineCount(), 0);
    EXPECT_GT(topic.layout()->lineAt(0).height(), question.layout()->lineAt(0).height() * 1.1);
    // The pictures of the summary's question are drawn as on the page alone.
    EXPECT_EQ(pixelsOf(view.render(), kPicture).count, kPictureWidth * kPictureHeight);
}

// The adaptation touches tags only: text that looks like a CSS url or a <big><h3> inside the
// question's text (as written, not as markup) reads the same.
// A picture wider than the page is drawn at the page's width, in its proportions: nothing to
// scroll sideways for. A narrow one keeps its size.
TEST(HtmlViewPictures, APictureWiderThanThePageIsDrawnAtItsWidth) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    for (int width : {2400, 120}) {
        SCOPED_TRACE(width);
        QImage wide(width, 300, QImage::Format_RGB32);
        wide.fill(QColor(10, 200, 30));
        const QString path = dir + QStringLiteral("/w%1.png").arg(width);
        ASSERT_TRUE(wide.save(path));
        View v;
        v.load(QStringLiteral("<div align=\"center\"><img src=\"%1\"></div>")
                   .arg(QUrl::fromLocalFile(path).toString()));
        const QImage shown = v.render();
        const Region green = pixelsOf(shown, QColor(10, 200, 30));
        ASSERT_GT(green.count, 0);
        EXPECT_LE(v.browser.document()->size().width(), v.browser.viewport()->width());
        if (width > 700) {
            EXPECT_LE(green.box.width(), v.browser.viewport()->width());
            EXPECT_NEAR(double(green.box.height()) / green.box.width(), 300.0 / 2400, 0.02);
        } else {
            EXPECT_EQ(green.box.size(), QSize(120, 300));
        }
    }
}

TEST(HtmlForView, ChangesOnlyUrlsInTagsAndHeadingsInBig) {
    EXPECT_EQ(zn::htmlForView(QStringLiteral("<td style=\"a: b;background-image: url(file:///x%20y/"
                                             "bg1.gif);\" align=\"left\">url(keep) &lt;big&gt;")),
              QStringLiteral("<td style=\"a: b;background-image: url('file:///x%20y/bg1.gif');\" "
                             "align=\"left\">url(keep) &lt;big&gt;"));
    EXPECT_EQ(zn::htmlForView(QStringLiteral("<center><big><h3>T</h3></big>")),
              QStringLiteral("<center><big><h3 style=\"font-size: x-large\">T</h3></big>"));
    // Already quoted urls stay as they are.
    const QString quoted = QStringLiteral("<td style=\"background-image: url('a b.gif')\">");
    EXPECT_EQ(zn::htmlForView(quoted), quoted);
}

// Nothing on a page reaches the network: pictures and backgrounds with http addresses are
// not loaded (the view loads resources from local files only).
TEST(HtmlForView, RemoteResourcesAreNotLoaded) {
    View view;
    view.load(
        QStringLiteral("<img src=\"http://127.0.0.1:9/x.png\"><table><tr><td style=\""
                       "background-image: url(http://127.0.0.1:9/bg.gif)\">c</td></tr>"
                       "</table>"));
    QTextDocument* doc = view.browser.document();
    EXPECT_FALSE(
        doc->resource(QTextDocument::ImageResource, QUrl("http://127.0.0.1:9/x.png")).isValid());
    EXPECT_FALSE(
        doc->resource(QTextDocument::ImageResource, QUrl("http://127.0.0.1:9/bg.gif")).isValid());
}

// A topic summary fed in steps draws, once complete, exactly as the whole page set at once:
// same height, same pixels from top to bottom. The questions carry what makes the margins and
// alignment differ between neighbours: pictures, markup, missing answer tables, long texts.
TEST_F(PreviewView, ASummaryFedInStepsDrawsAsTheWholePage) {
    QString summary = QStringLiteral("<center><big><h3>Тема № 1. Тема с картинкой</h3></big>");
    for (int q = 1; q <= 40; ++q) {
        bank->addQuestion(1, {q + 1,
                              QStringLiteral("Вопрос <i>%1</i> ").arg(q) + QString(q * 7, u'ж'),
                              q % 4 == 0 ? 0 : 1 + q % 3,
                              2 + q % 5,
                              q % 6 == 0 ? kPictureName : QString(),
                              {{1, QStringLiteral("один")},
                               {2, QStringLiteral("<b>два</b>")},
                               {3, QStringLiteral("три")}}});
    }
    dm.qrtema.close();
    dm.qrtema.open();
    for (int q = 1; q <= 41; ++q) {
        dm.qrvoprosi.locate("idvopr", q);
        summary += zn::VoptoStrUniv(dm, folder, QStringLiteral("1_%1").arg(q));
    }
    ASSERT_GT(zn::PageFeeder::split(summary).size(), zn::PageFeeder::kFirstQuestions + 10);

    View whole, fed;
    whole.load(summary);
    fed.browser.show();
    zn::PageFeeder feeder(fed.browser);
    feeder.show(QStringLiteral("<p>an earlier page, dropped</p>") + summary);
    feeder.show(summary);  // a new page replaces what was still pending
    EXPECT_TRUE(feeder.pending());
    while (feeder.pending()) QApplication::processEvents();

    const QSizeF size = whole.browser.document()->documentLayout()->documentSize();
    ASSERT_EQ(fed.browser.document()->documentLayout()->documentSize(), size);
    auto strip = [&](QTextBrowser& b, int top) {
        QImage img(int(size.width()), 4000, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.translate(0, -top);
        b.document()->drawContents(&p, QRectF(0, top, size.width(), 4000));
        return img;
    };
    for (int top = 0; top < size.height(); top += 4000)
        EXPECT_TRUE(strip(whole.browser, top) == strip(fed.browser, top)) << "at " << top;
    EXPECT_EQ(fed.browser.toPlainText(), whole.browser.toPlainText());
}

}  // namespace
