// Developer tool, not a test: renders the preview of a question page and of a topic summary,
// with the tree beside it, into PNG files, so that a person can look at them.
//   preview_shots OUTDIR
// Builds a small bank from empty-test.mdb (fixtures folder needed) in a temporary folder whose
// path has blanks, Cyrillic letters, "#" and "%", with the demo background pictures and one
// demo picture, and draws the widgets offscreen (set QT_QPA_PLATFORM=xcb under Xvfb for the
// platform's own look).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QWidget>
#include <cstdio>

#include "preview/htmlview.h"
#include "store/session.h"
#include "tests/preview_testing.h"
#include "tree/topictree.h"

namespace {

QString outDir;

TEST(PreviewShots, QuestionPageAndTopicSummary) {
    ZN_REQUIRE_FIXTURES();
    const QString demo = QStringLiteral(ZN_DEMO_DATA_DIR);
    zn::Session session;
    session.dataFolder =
        QString::fromStdString(zntest::tempDir()) + QStringLiteral("/Мои тесты #2 (100%)/data/");
    ASSERT_TRUE(QDir().mkpath(session.dataFolder));
    for (const char* f : {"bg1.gif", "bg2.gif", "bg3.gif", "p1.png"})
        ASSERT_TRUE(QFile::copy(demo + QLatin1String(f), session.dataFolder + QLatin1String(f)));

    zn::TDatMod dm;
    previewtest::TestBank bank(dm);
    bank.addTopic(1, QStringLiteral("Основы физики"));
    bank.addTopic(2, QStringLiteral("Оптика"));
    bank.addQuestion(1, {1,
                         QStringLiteral("Какая единица измерения силы принята в системе СИ? "
                                        "Выберите <i>один</i> ответ."),
                         2,
                         4,
                         QStringLiteral("p1.png"),
                         {{1, QStringLiteral("Джоуль")},
                          {2, QStringLiteral("Ньютон")},
                          {3, QStringLiteral("Ватт")},
                          {4, QStringLiteral("Паскаль")}}});
    bank.addQuestion(1, {2,
                         QStringLiteral("Чему равно ускорение свободного падения у поверхности "
                                        "Земли?"),
                         1,
                         3,
                         {},
                         {{1, QStringLiteral("около 9,8 м/с<sup>2</sup>")},
                          {2, QStringLiteral("около 1 м/с<sup>2</sup>")},
                          {3, QStringLiteral("около 98 м/с<sup>2</sup>")}}});
    bank.addQuestions(2, 1);
    bank.openLikeShowStep();

    QWidget window;
    window.resize(964, 560);
    auto* row = new QHBoxLayout(&window);
    row->setContentsMargins(0, 0, 0, 0);
    auto* treeDb = new QTreeWidget(&window);
    treeDb->setHeaderHidden(true);
    treeDb->setFixedWidth(185);
    auto* hv = new QTextBrowser(&window);
    hv->setOpenLinks(false);
    QFont font(QStringLiteral("Times New Roman"), 12);
    font.setStyleHint(QFont::Serif);
    hv->setFont(font);
    hv->document()->setDefaultFont(font);
    for (QWidget* w : {static_cast<QWidget*>(treeDb), static_cast<QWidget*>(hv)}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Base, QColor(255, 251, 240));
        w->setPalette(pal);
    }
    row->addWidget(treeDb);
    row->addWidget(hv, 1);
    QProgressBar bar;

    zn::TreeControls c;
    c.treeDb = treeDb;
    c.progBar1 = &bar;
    c.loadPreview = [hv](const QString& html) { hv->setHtml(zn::htmlForView(html)); };
    zn::TopicTree tree(dm, session, c);
    tree.startupBuild();
    window.show();

    const auto shoot = [&](const char* name) {
        QApplication::processEvents();
        const QString path = outDir + u'/' + QLatin1String(name);
        EXPECT_TRUE(window.grab().save(path));
        std::printf("%s\n", qPrintable(path));
    };
    shoot("preview-question.png");
    treeDb->setCurrentItem(treeDb->topLevelItem(0));
    shoot("preview-topic.png");
    hv->verticalScrollBar()->setValue(hv->verticalScrollBar()->maximum());
    shoot("preview-topic-end.png");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: preview_shots OUTDIR\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    return RUN_ALL_TESTS();
}
