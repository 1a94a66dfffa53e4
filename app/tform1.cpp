// Main window: building the frame and routing every command through the error guard.
#include "tform1.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidgetAction>

#include "formstyle.h"
#include "guard.h"
#include "imagelist.h"
#include "modal.h"
#include "opendatabase.h"
#include "preview/htmlview.h"
#include "preview/questionpage.h"
#include "store/globals.h"
#include "store/tdatmod.h"
#include "taboutbox.h"
#include "toolseparator.h"

namespace zn {

namespace {

constexpr int kCoolBarHeight = 64;
constexpr int kBandHeight = 29;
constexpr QSize kToolButtonSize(28, 25);
constexpr int kPanel1Width = 185;
constexpr int kTreeIndent = 19;

// Gives every row of the tree the same height.
class RowHeightDelegate : public QStyledItemDelegate {
  public:
    RowHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(height_);
        return size;
    }

  private:
    int height_;
};

// `folder` followed by one separator and `name`.
QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

void setBaseColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Base, colour);
    widget->setPalette(pal);
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    DataFolder = joinPath(QDir::currentPath(), QStringLiteral("data/"));

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(appTitle());
    setWindowIcon(ImageList::appIcon());
    setFont(formFont());

    buildMenus();
    buildCoolBar();
    buildBody();
    buildStatusBar();

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(coolBar1_);
    column->addWidget(splitter1_, 1);
    setCentralWidget(central);

    resize(kOuterWidth, kOuterHeight);
}

TForm1::~TForm1() = default;

QAction* TForm1::makeAction(QObject* owner, const QString& text, int image, Handler handler) {
    auto* action = new QAction(ImageList::icon(image), text, owner);
    // Commands never let an exception cross the slot boundary: the guard reports it.
    connect(action, &QAction::triggered, this,
            [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
    return action;
}

QAction* TForm1::addToolButton(QToolBar* bar, const char* name, const QString& hint, int image,
                               Handler handler) {
    QAction* action = makeAction(bar, hint, image, handler);
    action->setToolTip(hint);
    bar->addAction(action);
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(kToolButtonSize);
    button->setAutoRaise(true);
    return action;
}

void TForm1::addToolSeparator(QToolBar* bar, const char* name) {
    auto* separator = new ToolSeparator(bar);
    separator->setObjectName(QString::fromLatin1(name));
    bar->addWidget(separator);
}

void TForm1::buildCoolBar() {
    auto* coolBar = new QFrame(this);
    coolBar->setObjectName(QStringLiteral("CoolBar1"));
    coolBar->setFrameShape(QFrame::StyledPanel);
    coolBar->setFrameShadow(QFrame::Raised);
    coolBar->setFixedHeight(kCoolBarHeight);
    auto* bands = new QVBoxLayout(coolBar);
    bands->setContentsMargins(2, 2, 2, 2);
    bands->setSpacing(2);
    coolBar1_ = coolBar;

    auto makeBar = [&](const char* name) {
        auto* bar = new QToolBar(coolBar);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(ImageList::kSize, ImageList::kSize));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        bar->setMinimumHeight(kBandHeight);
        bar->setContentsMargins(0, 0, 0, 0);
        bar->layout()->setSpacing(0);
        bands->addWidget(bar);
        return bar;
    };

    toolBar1_ = makeBar("ToolBar1");
    addToolButton(toolBar1_, "ToolButton9", QStringLiteral("Открыть базу теста"), 14,
                  &TForm1::ToolButton9Click);
    addToolButton(toolBar1_, "ToolButton2", QStringLiteral("Импорт данных в базу"), 17,
                  &TForm1::ToolButton2Click);
    addToolButton(toolBar1_, "ToolButton10", QStringLiteral("Экспорт данных из базы"), 18,
                  &TForm1::ToolButton10Click);
    addToolButton(toolBar1_, "ToolButton3", QStringLiteral("Удаление данных из базы"), 26,
                  &TForm1::ToolButton3Click);
    addToolButton(toolBar1_, "ToolButton4", QStringLiteral("Сжать и восстановить базу"), 15,
                  &TForm1::ToolButton4Click);
    addToolSeparator(toolBar1_, "ToolSep1");
    addToolButton(toolBar1_, "ToolButton5", QStringLiteral("Информационные записи базы теста"), 16,
                  &TForm1::ToolButton5Click);

    toolBar2_ = makeBar("ToolBar2");
    buttem_[0] = addToolButton(toolBar2_, "Buttem1", QStringLiteral("Добавить тему"), 20,
                               &TForm1::Buttem1Click);
    buttem_[1] = addToolButton(toolBar2_, "Buttem2", QStringLiteral("Редактировать тему"), 21,
                               &TForm1::Buttem2Click);
    buttem_[2] = addToolButton(toolBar2_, "Buttem3", QStringLiteral("Удалить тему"), 22,
                               &TForm1::Buttem3Click);
    addToolSeparator(toolBar2_, "ToolSep2");
    butvop_[0] = addToolButton(toolBar2_, "Butvop1", QStringLiteral("Добавить вопрос"), 23,
                               &TForm1::Butvop1Click);
    butvop_[1] = addToolButton(toolBar2_, "Butvop2", QStringLiteral("Редактировать вопрос"), 24,
                               &TForm1::Butvop2Click);
    butvop_[2] =
        addToolButton(toolBar2_, "Butvop3", QStringLiteral("Удалить вопрос"), 25, &TForm1::N6Click);
    addToolSeparator(toolBar2_, "ToolSep3");
    addToolButton(toolBar2_, "ToolButton17", QStringLiteral("О программе"), 4,
                  &TForm1::ToolButton17Click);
}

void TForm1::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("MenuFile"));
    QAction* open =
        makeAction(file, QStringLiteral("Открыть базу данных"), 14, &TForm1::ToolButton9Click);
    open->setObjectName(QStringLiteral("MenuOpenDatabase"));
    file->addAction(open);
    QAction* exit = makeAction(file, QStringLiteral("Выход"), 3, &TForm1::N3Click);
    exit->setObjectName(QStringLiteral("N3"));
    file->addAction(exit);

    QMenu* help = bar->addMenu(QStringLiteral("Помощь"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    QAction* about = makeAction(help, QStringLiteral("О программе"), 4, &TForm1::ToolButton17Click);
    about->setObjectName(QStringLiteral("MenuAbout"));
    help->addAction(about);

    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    popupMenu1_->addAction(
        makeAction(popupMenu1_, QStringLiteral("Добавить тему"), 20, &TForm1::Buttem1Click));
    popupMenu1_->addAction(
        makeAction(popupMenu1_, QStringLiteral("Редактировать тему"), 21, &TForm1::Buttem2Click));
    popupMenu1_->addAction(
        makeAction(popupMenu1_, QStringLiteral("Удалить тему"), 22, &TForm1::Buttem3Click));
    popupMenu1_->addSeparator();
    popupMenu1_->addAction(
        makeAction(popupMenu1_, QStringLiteral("Добавить вопрос"), 23, &TForm1::Butvop1Click));

    popupMenu2_ = new QMenu(this);
    popupMenu2_->setObjectName(QStringLiteral("PopupMenu2"));
    popupMenu2_->addAction(
        makeAction(popupMenu2_, QStringLiteral("Добавить вопрос"), 23, &TForm1::Butvop1Click));
    popupMenu2_->addAction(
        makeAction(popupMenu2_, QStringLiteral("Редактировать вопрос"), 24, &TForm1::Butvop2Click));
    QAction* deleteQuestion =
        makeAction(popupMenu2_, QStringLiteral("Удалить вопрос"), 25, &TForm1::N6Click);
    deleteQuestion->setObjectName(QStringLiteral("N6"));
    popupMenu2_->addAction(deleteQuestion);

    treePopup_ = popupMenu2_;
}

void TForm1::buildBody() {
    splitter1_ = new QSplitter(Qt::Horizontal, this);
    splitter1_->setObjectName(QStringLiteral("Splitter1"));
    splitter1_->setHandleWidth(3);
    splitter1_->setChildrenCollapsible(false);

    // Left: the tree.
    panel1_ = new QWidget(splitter1_);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    auto* left = new QVBoxLayout(panel1_);
    left->setContentsMargins(0, 0, 0, 0);
    treeDb_ = new QTreeWidget(panel1_);
    treeDb_->setObjectName(QStringLiteral("TreeDb"));
    treeDb_->setHeaderHidden(true);
    treeDb_->setColumnCount(1);
    treeDb_->setIndentation(kTreeIndent);
    treeDb_->setIconSize(QSize(ImageList::kSize, ImageList::kSize));
    treeDb_->setUniformRowHeights(true);
    setBaseColour(treeDb_, creamColour());
    treeDb_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(treeDb_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (treePopup_) treePopup_->popup(treeDb_->viewport()->mapToGlobal(pos));
    });
    left->addWidget(treeDb_);

    // Right: the page control with the preview and the editor page.
    panel2_ = new QWidget(splitter1_);
    panel2_->setObjectName(QStringLiteral("Panel2"));
    setBackground(panel2_, panelColour());
    auto* right = new QVBoxLayout(panel2_);
    right->setContentsMargins(0, 0, 0, 0);
    pageControl_ = new QTabWidget(panel2_);
    pageControl_->setObjectName(QStringLiteral("PageControl1"));
    pageControl_->setIconSize(QSize(ImageList::kSize, ImageList::kSize));
    right->addWidget(pageControl_);

    tabSh1_ = new QWidget;
    tabSh1_->setObjectName(QStringLiteral("TabSh1"));
    auto* previewLayout = new QVBoxLayout(tabSh1_);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    auto* previewPanel = new QWidget(tabSh1_);
    previewPanel->setObjectName(QStringLiteral("PreviewPanel"));
    setBackground(previewPanel, panelColour());
    auto* previewPanelLayout = new QVBoxLayout(previewPanel);
    previewPanelLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(previewPanel);

    hv_ = new QTextBrowser(previewPanel);
    hv_->setObjectName(QStringLiteral("HV"));
    hv_->setOpenLinks(false);
    hv_->setOpenExternalLinks(false);
    hv_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    hv_->setFocusPolicy(Qt::StrongFocus);
    // Set on the view itself so the window's form font does not override it.
    QFont htmlFont(QStringLiteral("Times New Roman"), 12);
    htmlFont.setStyleHint(QFont::Serif);
    hv_->setFont(htmlFont);
    hv_->document()->setDefaultFont(htmlFont);
    hv_->document()->setDefaultStyleSheet(
        QStringLiteral("pre, code, tt, kbd, samp { font-family: \"Courier New\"; }"));
    setBaseColour(hv_, creamColour());
    // A border only while the view has the focus.
    hv_->setStyleSheet(
        QStringLiteral("QTextBrowser#HV { border: 1px solid rgb(255, 255, 230); }"
                       "QTextBrowser#HV:focus { border: 1px solid palette(highlight); }"));
    previewPanelLayout->addWidget(hv_);

    tabSh2_ = new QWidget;
    tabSh2_->setObjectName(QStringLiteral("TabSh2"));
    setBackground(tabSh2_, panelColour());

    pageControl_->addTab(tabSh1_, ImageList::icon(19), QStringLiteral("Просмотр "));
    pageControl_->addTab(tabSh2_, ImageList::icon(2), QStringLiteral("Редактирование"));

    splitter1_->addWidget(panel1_);
    splitter1_->addWidget(panel2_);
    splitter1_->setStretchFactor(0, 0);
    splitter1_->setStretchFactor(1, 1);
    splitter1_->setSizes({kPanel1Width, kOuterWidth - kPanel1Width});
}

void TForm1::buildStatusBar() {
    sb_ = new QStatusBar(this);
    sb_->setObjectName(QStringLiteral("SB"));
    sb_->setSizeGripEnabled(false);
    sb_->setFixedHeight(kStatusHeight);
    setStatusBar(sb_);

    // The panels are placed by hand, not through QStatusBar's layout, so that the progress bar
    // can lie exactly over the second one.
    int left = 0;
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(sb_);
        panel->setObjectName(QStringLiteral("SBPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(2);
        panel->setGeometry(left, 2, kStatusPanelWidths[i] - 2, kStatusHeight - 2);
        sbPanels_[i] = panel;
        left += kStatusPanelWidths[i];
    }

    // Creation step: the progress bar covers the second status panel.
    progBar1_ = new QProgressBar(sb_);
    progBar1_->setObjectName(QStringLiteral("ProgBar1"));
    progBar1_->setTextVisible(false);
    progBar1_->setRange(0, 100);
    progBar1_->setValue(0);
    progBar1_->setGeometry(kStatusPanelWidths[0] + 1, 4, kStatusPanelWidths[1] - 4,
                           sb_->height() - 4 - 2);
}

void TForm1::loadPreview(const QString& html) {
    hv_->setHtml(htmlForView(html));
    hv_->clearHistory();
}

void TForm1::setEditorTabVisible(bool visible) {
    const int index = pageControl_->indexOf(tabSh2_);
    pageControl_->setTabVisible(index, visible);
    if (!visible) pageControl_->setCurrentWidget(tabSh1_);
}

bool TForm1::isEditorTabVisible() const {
    return pageControl_->isTabVisible(pageControl_->indexOf(tabSh2_));
}

void TForm1::setTreeRowHeight(int pixels) {
    QAbstractItemDelegate* old = treeDb_->itemDelegate();
    treeDb_->setItemDelegate(new RowHeightDelegate(pixels, treeDb_));
    if (old && old->parent() == treeDb_) old->deleteLater();
}

void TForm1::setStatusText(const QString& text) {
    sbPanels_[0]->setText(text);
}

QString TForm1::statusText() const {
    return sbPanels_[0]->text();
}

void TForm1::repaintStatus() {
    sb_->repaint();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    outerSizeFitted_ = setOuterSize(this, QSize(kOuterWidth, kOuterHeight));
    centreOnScreen(this);
    setTreeRowHeight(18);
    if (showStep_) runGuarded(showStep_);
    setEditorTabVisible(false);
    runGuarded([this] { TrBarChange(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

void TForm1::TreeObnov() {
    if (hooks_.treeObnov) hooks_.treeObnov();
}

void TForm1::TreeDbChange(QTreeWidgetItem* node) {
    if (hooks_.treeDbChange) hooks_.treeDbChange(node);
}

QString TForm1::VoptoStrUniv(const QString& questionKey) {
    return datMod_ ? zn::VoptoStrUniv(*datMod_, questionKey) : QString();
}

void TForm1::TrBarChange() {
    if (hooks_.trBarChange) hooks_.trBarChange();
}

bool TForm1::event(QEvent* event) {
    // Window managers report the frame only once the window is on screen: refit the outer size
    // then, once.
    if (shown_ && !outerSizeFitted_ &&
        (event->type() == QEvent::WindowActivate || event->type() == QEvent::Move)) {
        if (frameGeometry().size() != geometry().size()) {
            outerSizeFitted_ = true;
            setOuterSize(this, QSize(kOuterWidth, kOuterHeight));
            centreOnScreen(this);
        }
    }
    return QMainWindow::event(event);
}

// Open another database. The new file is tried before the open one is let go (see
// switchDatabase), so a file that cannot be used is reported by the guard while the database,
// DatabasePath, the tree and the status bar stay as they were.
void TForm1::ToolButton9Click() {
    if (!datMod_) return;
    const QString path =
        Modal::openFile(QString(), QDir::currentPath(), QString::fromUtf16(kDatabaseFilter));
    if (path.isEmpty()) return;
    switchDatabase(*datMod_, path);
    DatabasePath = QFileInfo(path).absoluteFilePath();
    setStatusText(QStringLiteral("Открытие базы"));
    repaintStatus();
    datMod_->qrtema.open();
    datMod_->tbSettings.open();
    TreeObnov();
}

// The topic, question and bulk commands are filled in by the areas that own them.
void TForm1::ToolButton2Click() {}
void TForm1::ToolButton10Click() {}
void TForm1::ToolButton3Click() {}
void TForm1::ToolButton4Click() {}
void TForm1::ToolButton5Click() {}
void TForm1::Buttem1Click() {}
void TForm1::Buttem2Click() {}
void TForm1::Buttem3Click() {}
void TForm1::Butvop1Click() {}
void TForm1::Butvop2Click() {}
void TForm1::N6Click() {}

void TForm1::ToolButton17Click() {
    if (aboutBox_) Modal::exec(*aboutBox_);
}

void TForm1::N3Click() {
    close();
}

}  // namespace zn
