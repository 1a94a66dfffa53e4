// The print dialog and the print area driven offscreen through the modal seam: the choices the
// dialog collects, "Сохранить в PDF…" writing what was chosen, "Печать…" showing the pages in
// Qt's print preview; and the command-line tool's "pdf".
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

#include "frame/modal.h"
#include "print/pictures.h"
#include "print/printarea.h"
#include "print/printdialog.h"
#include "print/render.h"
#include "store/session.h"
#include "tests/print_testing.h"

namespace {

using namespace zn::print;
using printtest::coded;
using printtest::flat;

TEST(PrintDialog, CollectsTheChoices) {
    Options start;
    start.seed = 4242;
    start.key = true;
    {
        PrintDialog d({}, start, QStringLiteral("Просмотр…"));
        EXPECT_FALSE(d.RadioTopics->isEnabled());
        EXPECT_TRUE(d.RadioBank->isChecked());
        EXPECT_FALSE(d.SpinSeed->isEnabled());
        EXPECT_EQ(d.SpinSeed->value(), 4242);
        d.RadioVariants->setChecked(true);
        EXPECT_TRUE(d.SpinSeed->isEnabled());
        EXPECT_FALSE(d.CheckSelectedOnly->isEnabled());
        const Options o = d.options();
        EXPECT_EQ(o.scope, Scope::Variants);
        EXPECT_TRUE(o.topics.empty());
        EXPECT_TRUE(o.key);
    }
    PrintDialog d({1, 3}, start, QStringLiteral("Просмотр…"));
    auto* topics = d.findChild<QRadioButton*>(QStringLiteral("RadioTopics"));
    ASSERT_TRUE(topics);
    EXPECT_TRUE(topics->text().endsWith(QStringLiteral("1, 3")));
    topics->setChecked(true);
    EXPECT_EQ(d.options().scope, Scope::Topics);
    EXPECT_EQ(d.options().topics, (std::vector<qint64>{1, 3}));

    d.findChild<QRadioButton*>(QStringLiteral("RadioVariants"))->setChecked(true);
    d.findChild<QSpinBox*>(QStringLiteral("SpinPerTopic"))->setValue(7);
    d.findChild<QSpinBox*>(QStringLiteral("SpinVariants"))->setValue(4);
    d.findChild<QCheckBox*>(QStringLiteral("CheckPictures"))->setChecked(false);
    Options o = d.options();
    EXPECT_EQ(o.scope, Scope::Variants);
    EXPECT_EQ(o.topics, (std::vector<qint64>{1, 3}));
    EXPECT_EQ(o.perTopic, 7);
    EXPECT_EQ(o.variants, 4);
    EXPECT_EQ(o.seed, 4242u);
    EXPECT_FALSE(o.pictures);
    d.findChild<QCheckBox*>(QStringLiteral("CheckSelectedOnly"))->setChecked(false);
    EXPECT_TRUE(d.options().topics.empty());
    d.findChild<QPushButton*>(QStringLiteral("ButtonNewSeed"))->click();
    EXPECT_NE(d.options().seed, 4242u);
}

struct AreaFixture {
    QString dir = QString::fromStdString(zntest::tempDir());
    QString bank = dir + QStringLiteral("/тест.mdb");
    zn::Session session{dir + QStringLiteral("/data/"), bank};
    zn::TDatMod dm;
    QWidget window;

    AreaFixture() {
        prtest::writeBank(bank,
                          {{1, QStringLiteral("Первая"), 3}, {2, QStringLiteral("Вторая"), 3}},
                          {coded(1, 1, 3, 1), coded(1, 2, 3, 2), coded(1, 3, 3, 3),
                           coded(2, 1, 4, 1, {}, QStringLiteral("нет.png")), coded(2, 2, 4, 2),
                           coded(2, 3, 4, 3)});
        printtest::setRecords(bank, {{}, {}, QStringLiteral("Имя теста"), {}, {}});
        dm.connectTo(bank);
        dm.qrtema.open();
        dm.tbSettings.open();
    }
};

// "Сохранить в PDF…": the dialog's choices, the save dialog's file (".pdf" added), the PDF of
// exactly that, the missing picture told once; the choices are kept for the next time.
TEST(PrintArea, SavePdfWritesWhatTheDialogChose) {
    ZN_NEED_POPPLER();
    AreaFixture f;
    PrintArea area(f.dm, f.session, f.window, [] { return std::vector<qint64>{2}; });
    zn::ScriptedModal modal;
    modal.onRequest = [](const zn::ModalRequest& r) {
        if (r.kind != zn::ModalRequest::Kind::Window || r.text != u"PrintDialog") return;
        r.window->findChild<QRadioButton*>(QStringLiteral("RadioVariants"))->setChecked(true);
        r.window->findChild<QSpinBox*>(QStringLiteral("SpinPerTopic"))->setValue(3);
        r.window->findChild<QSpinBox*>(QStringLiteral("SpinVariants"))->setValue(2);
        r.window->findChild<QSpinBox*>(QStringLiteral("SpinSeed"))->setValue(77);
        r.window->findChild<QCheckBox*>(QStringLiteral("CheckKey"))->setChecked(true);
    };
    modal.push({zn::Ok, {}, QDialog::Accepted});
    modal.push({zn::Ok, f.dir + QStringLiteral("/варианты"), 0});
    area.savePdfAction()->trigger();

    const auto& calls = modal.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, zn::ModalRequest::Kind::Window);
    EXPECT_EQ(calls[1].kind, zn::ModalRequest::Kind::SaveFile);
    EXPECT_EQ(calls[1].folder, f.dir);
    EXPECT_EQ(calls[2].kind, zn::ModalRequest::Kind::Message);
    EXPECT_EQ(calls[2].text.count(QStringLiteral("«нет.png»")), 1);

    const QString pdf = f.dir + QStringLiteral("/варианты.pdf");
    ASSERT_TRUE(QFileInfo(pdf).isFile());
    const QString text = flat(printtest::pdfText(pdf));
    EXPECT_TRUE(text.contains(u"Имя теста"));
    EXPECT_TRUE(text.contains(u"Вариант 1 (шифр 77)"));
    EXPECT_TRUE(text.contains(u"Вариант 2 (шифр 78)"));
    EXPECT_TRUE(text.contains(u"Ключ ответов"));
    for (const auto& q : printtest::decodePaper(text)) EXPECT_EQ(q.topic, 2);
    EXPECT_EQ(printtest::decodePaper(text).size(), 6u);
    EXPECT_EQ(area.choices().seed, 77u);

    // Cancelled: nothing more is asked, nothing written.
    modal.clear();
    area.savePdfAction()->trigger();
    EXPECT_EQ(modal.calls().size(), 1u);
}

// "Печать…" (Ctrl+P): the dialog, then the print preview showing the same pages the PDF has.
TEST(PrintArea, PrintShowsThePagesInThePreview) {
    AreaFixture f;
    PrintArea area(f.dm, f.session, f.window);
    EXPECT_EQ(area.printAction()->shortcut(), QKeySequence(QKeySequence::Print));
    zn::ScriptedModal modal;
    int previewPages = -1;
    modal.onRequest = [&](const zn::ModalRequest& r) {
        if (r.kind != zn::ModalRequest::Kind::Window || r.text != u"PrintPreview") return;
        auto* preview = r.window->findChild<QPrintPreviewWidget*>();
        ASSERT_TRUE(preview);
        preview->updatePreview();
        previewPages = preview->pageCount();
    };
    modal.push({zn::Ok, {}, QDialog::Accepted});
    modal.push({zn::Ok, {}, QDialog::Rejected});
    area.printAction()->trigger();
    ASSERT_GE(modal.calls().size(), 2u);
    EXPECT_EQ(modal.calls()[1].text, QStringLiteral("PrintPreview"));

    const Paper paper = makePaper(printtest::sourceOf(f.bank), area.choices());
    const int pdfPages = writePdf(paper, Pictures(), f.dir + QStringLiteral("/весь.pdf"));
    EXPECT_GT(previewPages, 0);
    EXPECT_EQ(previewPages, pdfPages);
}

zntest::CommandResult znbank(const std::vector<QString>& args) {
    std::vector<std::string> argv{ZN_ZNBANK};
    for (const QString& a : args) argv.push_back(a.toStdString());
    return zntest::run(argv);
}

TEST(ZnbankPdf, WritesTheChosenPaperAndRefusesBadArguments) {
    ZN_NEED_POPPLER();
    AreaFixture f;
    const QString pdf = f.dir + QStringLiteral("/out.pdf");
    auto r = znbank({"pdf", f.bank, pdf, "--topics", "2", "--variant", "2", "--seed", "5",
                     "--copies", "2", "--key", "--data", f.dir});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("«нет.png»"), std::string::npos) << r.err;
    QString text = flat(printtest::pdfText(pdf));
    EXPECT_TRUE(text.contains(u"Вариант 2 (шифр 6)"));
    EXPECT_TRUE(text.contains(u"Ключ ответов"));
    EXPECT_EQ(printtest::decodePaper(text).size(), 4u);

    r = znbank({"pdf", f.bank, pdf, "--variant", "1", "--no-pictures"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("шифр первого варианта"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("нет.png"), std::string::npos) << r.err;
    r = znbank({"pdf", f.bank, pdf});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(printtest::decodePaper(printtest::pdfText(pdf)).size(), 6u);

    for (const std::vector<QString>& bad : {std::vector<QString>{"pdf", f.bank, pdf, "--seed", "5"},
                                            {"pdf", f.bank, pdf, "--topics", "x"},
                                            {"pdf", f.bank, pdf, "--variant", "0"},
                                            {"pdf", f.bank}})
        EXPECT_EQ(znbank(bad).exitCode, 2);
    r = znbank({"pdf", f.bank, pdf, "--topics", "9"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("нет вопросов для печати"), std::string::npos) << r.err;
}

}  // namespace
