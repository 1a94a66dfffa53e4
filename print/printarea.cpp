// The print area (see printarea.h).
#include "print/printarea.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "frame/guard.h"
#include "frame/modal.h"
#include "print/pictures.h"
#include "print/printdialog.h"
#include "print/render.h"
#include "print/source.h"
#include "store/session.h"
#include "store/tdatmod.h"

namespace zn::print {

namespace {

// The wait cursor while pages are laid out and drawn (a whole bank takes a few seconds).
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

PrintArea::PrintArea(TDatMod& dm, const Session& session, QWidget& window,
                     SelectedTopics selectedTopics, QObject* parent)
    : QObject(parent),
      dm_(dm),
      session_(session),
      window_(window),
      selectedTopics_(std::move(selectedTopics)) {
    choices_.seed = newSeed();
    print_ = new QAction(QStringLiteral("Печать…"), &window_);
    print_->setObjectName(QStringLiteral("ActPrint"));
    print_->setShortcut(QKeySequence::Print);
    print_->setToolTip(
        QStringLiteral("Печать банка вопросов, выбранных тем или вариантов теста "
                       "с ключом ответов"));
    savePdf_ = new QAction(QStringLiteral("Сохранить в PDF…"), &window_);
    savePdf_->setObjectName(QStringLiteral("ActSavePdf"));
    savePdf_->setToolTip(
        QStringLiteral("Банк вопросов, выбранные темы или варианты теста в "
                       "файл PDF"));
    connect(print_, &QAction::triggered, this, [this] { runGuarded([this] { print(); }); });
    connect(savePdf_, &QAction::triggered, this, [this] { runGuarded([this] { savePdf(); }); });
}

PrintArea::~PrintArea() = default;

bool PrintArea::ask(const QString& okText) {
    const std::vector<qint64> selected =
        selectedTopics_ ? selectedTopics_() : std::vector<qint64>{};
    PrintDialog dialog(selected, choices_, okText, &window_);
    if (Modal::exec(dialog) != QDialog::Accepted) return false;
    choices_ = dialog.options();
    return true;
}

bool PrintArea::makePaperNow(Paper& paper) {
    {
        WaitCursor wait;
        paper = makePaper(readSource(dm_), choices_);
    }
    if (paper.questionCount() > 0) return true;
    Modal::message(MsgIcon::Exclamation, appTitle(), QStringLiteral("Нет вопросов для печати."));
    return false;
}

void PrintArea::tell(const Paper& paper, const Pictures& pictures) {
    const QString notes = printNotes(paper, pictures, session_.dataFolder);
    if (!notes.isEmpty()) Modal::message(MsgIcon::Information, appTitle(), notes);
}

void PrintArea::print() {
    if (!dm_.Conn.isOpen() || !ask(QStringLiteral("Просмотр…"))) return;
    Paper paper;
    if (!makePaperNow(paper)) return;
    const Pictures pictures =
        paper.pictures ? Pictures::load(paper.pictureNames(), session_.dataFolder) : Pictures();

    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    // The pages carry their own margins.
    printer.setFullPage(true);
    printer.setDocName(paper.testName.isEmpty() ? QFileInfo(session_.databasePath).baseName()
                                                : paper.testName);
    QPrintPreviewDialog preview(&printer, &window_);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(QStringLiteral("Предварительный просмотр"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* target) {
        runGuarded([&] {
            WaitCursor wait;
            const bool range = target->printRange() == QPrinter::PageRange;
            render(paper, pictures, *target, range ? target->fromPage() : 0,
                   range ? target->toPage() : 0);
        });
    });
    Modal::exec(preview);
    tell(paper, pictures);
}

void PrintArea::savePdf() {
    if (!dm_.Conn.isOpen() || !ask(QStringLiteral("Сохранить…"))) return;
    Paper paper;
    if (!makePaperNow(paper)) return;
    QString path = Modal::saveFile(QStringLiteral("Сохранить в PDF"),
                                   QFileInfo(session_.databasePath).absolutePath(),
                                   QStringLiteral("Документ PDF (*.pdf)|*.pdf"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    const Pictures pictures =
        paper.pictures ? Pictures::load(paper.pictureNames(), session_.dataFolder) : Pictures();
    {
        WaitCursor wait;
        writePdf(paper, pictures, path);
    }
    tell(paper, pictures);
}

}  // namespace zn::print
