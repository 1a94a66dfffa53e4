// Main window: building the frame and routing every command through the error guard.
#include "frame/tform1.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <algorithm>

#include "frame/formstyle.h"
#include "frame/guard.h"
#include "frame/imagelist.h"
#include "frame/modal.h"
#include "frame/opendatabase.h"
#include "frame/taboutbox.h"
#include "frame/toolseparator.h"
#include "jet/error.h"
#include "preview/datafiles.h"
#include "preview/htmlview.h"
#include "preview/pagefeeder.h"
#include "preview/questionpage.h"
#include "store/bankfile.h"
#include "store/tdatmod.h"

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

void setBaseColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Base, colour);
    widget->setPalette(pal);
}

}  // namespace

// The window's status bar, progress bar and message boxes, as commands see them.
class FormFeedback : public Feedback {
  public:
    explicit FormFeedback(TForm1& form) : form_(form) {}
    void status(const QString& text) override {
        form_.setStatusText(text);
        form_.repaintStatus();
    }
    void progressMax(int max) override {
        // A maximum of 0 would make the bar show "busy"; an empty range keeps it empty.
        QProgressBar* bar = form_.progBar1();
        const int value = bar->value();
        bar->setRange(0, std::max(max, 1));
        bar->setValue(std::max(value, 0));
    }
    void progressPosition(int position) override { form_.progBar1()->setValue(position); }
    void progressStep() override {
        QProgressBar* bar = form_.progBar1();
        bar->setValue(std::max(bar->value(), 0) + 1);
    }
    void message(Box kind, const QString& text) override {
        switch (kind) {
            case Box::Error:
                Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"), text);
                break;
            case Box::Plain:
                Modal::plain(text);
                break;
            case Box::Info:
                Modal::message(MsgIcon::Information, appTitle(), text);
                break;
        }
    }
    bool ask(const QString& question) override {
        return Modal::message(MsgIcon::Question, appTitle(), question, Yes | No) == Yes;
    }

  private:
    TForm1& form_;
};

TForm1::TForm1(Session& session, QWidget* parent) : AreaWindow(parent), session_(session) {
    // DataFolder: the "data" folder (in any letter case) of the working directory, or beside the
    // database the program was started on when one was named.
    session_.dataFolder = dataFolderIn(session_.databasePath.isEmpty()
                                           ? QDir::currentPath()
                                           : QFileInfo(session_.databasePath).absolutePath());
    feedback_ = std::make_unique<FormFeedback>(*this);

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(appTitle());
    setWindowIcon(ImageList::appIcon());
    setFont(formFont());

    buildMenus();
    buildCoolBar();
    // The "Правка" items of the topic and question commands are on when their tool buttons are
    // (the selected node's rules).
    QAction* const buttons[] = {buttem_[0], buttem_[1], buttem_[2],
                                butvop_[0], butvop_[1], butvop_[2]};
    for (size_t i = 0; i < selectionMenuItems_.size(); ++i) {
        QAction* button = buttons[i];
        QAction* item = selectionMenuItems_[i];
        connect(button, &QAction::changed, item,
                [button, item] { item->setEnabled(button->isEnabled()); });
    }
    followTimer_ = new QTimer(this);
    followTimer_->setInterval(3000);
    connect(followTimer_, &QTimer::timeout, this,
            [this] { runGuarded([this] { followOtherPrograms(); }); });
    setCommand(Command::OpenDatabase, [this] { ToolButton9Click(); });
    setCommand(Command::About, [this] { ToolButton17Click(); });
    setCommand(Command::Exit, [this] { N3Click(); });
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

QAction* TForm1::makeAction(QObject* owner, const QString& text, int image, Command command) {
    auto* action = new QAction(ImageList::icon(image), text, owner);
    connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    actions_[command].push_back(action);
    return action;
}

void TForm1::setCommand(Command command, std::function<void()> handler) {
    handlers_[command] = std::move(handler);
}

void TForm1::runCommand(Command command) {
    auto it = handlers_.find(command);
    if (it == handlers_.end() || !it->second) return;
    // Commands never let an exception cross the slot boundary: the guard reports it. The
    // handler is copied: a command may replace handlers while it runs.
    const std::function<void()> handler = it->second;
    runGuarded(handler);
    emit commandsChanged();
}

const std::vector<QAction*>& TForm1::actionsOf(Command command) const {
    static const std::vector<QAction*> none;
    auto it = actions_.find(command);
    return it == actions_.end() ? none : it->second;
}

void TForm1::setEditingEnabled(bool on) {
    editingEnabled_ = on;
    for (Command c :
         {Command::Import, Command::DeleteAll, Command::Compact, Command::InfoRecords,
          Command::AddTopic, Command::EditTopic, Command::DeleteTopic, Command::AddQuestion,
          Command::EditQuestion, Command::DeleteQuestion, Command::RestoreBackup})
        for (QAction* a : actionsOf(c)) a->setEnabled(on);
    // The tool bar's topic and question commands depend on the selected node as well.
    if (on && hooks_.selectionCommands) hooks_.selectionCommands();
    emit commandsChanged();
}

void TForm1::announceAccessMode() {
    const bool writable = datMod_ && datMod_->Conn.isOpen() && !datMod_->readOnly();
    setEditingEnabled(writable || !datMod_ || !datMod_->Conn.isOpen());
    if (datMod_ && datMod_->readOnly()) {
        followTimer_->start();
        Modal::message(MsgIcon::Information, appTitle(), datMod_->readOnlyMessage());
    } else {
        followTimer_->stop();
    }
}

void TForm1::followOtherPrograms() {
    if (!datMod_ || !datMod_->readOnly() || !datMod_->refreshIfChangedByOthers()) return;
    // The node at the same place (topic, question) is selected again when it still exists.
    int topic = -1, question = -1;
    if (QTreeWidgetItem* current = treeDb_->currentItem()) {
        QTreeWidgetItem* parent = current->parent();
        topic = treeDb_->indexOfTopLevelItem(parent ? parent : current);
        question = parent ? parent->indexOfChild(current) : -1;
    }
    TreeObnov();
    if (QTreeWidgetItem* t = treeDb_->topLevelItem(topic)) {
        QTreeWidgetItem* q = question >= 0 ? t->child(question) : nullptr;
        if (q) t->setExpanded(true);
        treeDb_->setCurrentItem(q ? q : t);
    }
}

Feedback& TForm1::feedback() {
    return *feedback_;
}

QAction* TForm1::addToolButton(QToolBar* bar, const char* name, const QString& hint, int image,
                               Command command) {
    QAction* action = makeAction(bar, hint, image, command);
    action->setObjectName(QString::fromLatin1(name));
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
                  Command::OpenDatabase);
    addToolButton(toolBar1_, "ToolButton2", QStringLiteral("Импорт данных в базу"), 17,
                  Command::Import);
    addToolButton(toolBar1_, "ToolButton10", QStringLiteral("Экспорт данных из базы"), 18,
                  Command::Export);
    addToolButton(toolBar1_, "ToolButton3", QStringLiteral("Удаление данных из базы"), 26,
                  Command::DeleteAll);
    addToolButton(toolBar1_, "ToolButton4", QStringLiteral("Сжать и восстановить базу"), 15,
                  Command::Compact);
    addToolSeparator(toolBar1_, "ToolSep1");
    addToolButton(toolBar1_, "ToolButton5", QStringLiteral("Информационные записи базы теста"), 16,
                  Command::InfoRecords);
    addToolSeparator(toolBar1_, "ToolSepUndo");
    addToolButton(toolBar1_, "ToolButtonUndo", QStringLiteral("Отменить"), 27, Command::Undo);
    addToolButton(toolBar1_, "ToolButtonRedo", QStringLiteral("Повторить"), 28, Command::Redo);

    toolBar2_ = makeBar("ToolBar2");
    buttem_[0] =
        addToolButton(toolBar2_, "Buttem1", QStringLiteral("Добавить тему"), 20, Command::AddTopic);
    buttem_[1] = addToolButton(toolBar2_, "Buttem2", QStringLiteral("Редактировать тему"), 21,
                               Command::EditTopic);
    buttem_[2] = addToolButton(toolBar2_, "Buttem3", QStringLiteral("Удалить тему"), 22,
                               Command::DeleteTopic);
    addToolSeparator(toolBar2_, "ToolSep2");
    butvop_[0] = addToolButton(toolBar2_, "Butvop1", QStringLiteral("Добавить вопрос"), 23,
                               Command::AddQuestion);
    butvop_[1] = addToolButton(toolBar2_, "Butvop2", QStringLiteral("Редактировать вопрос"), 24,
                               Command::EditQuestion);
    butvop_[2] = addToolButton(toolBar2_, "Butvop3", QStringLiteral("Удалить вопрос"), 25,
                               Command::DeleteQuestion);
    addToolSeparator(toolBar2_, "ToolSep3");
    addToolButton(toolBar2_, "ToolButton17", QStringLiteral("О программе"), 4, Command::About);
}

void TForm1::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&Файл"));
    file->setObjectName(QStringLiteral("MenuFile"));
    QAction* open =
        makeAction(file, QStringLiteral("&Открыть базу данных"), 14, Command::OpenDatabase);
    open->setObjectName(QStringLiteral("MenuOpenDatabase"));
    open->setShortcut(QKeySequence::Open);
    file->addAction(open);
    file->addSeparator();
    // Every command of the tool bars is in a menu too, so the keyboard reaches them all.
    const struct {
        const char* name;
        const char16_t* text;
        int image;
        Command command;
    } fileItems[] = {
        {"MenuImport", u"&Импорт данных в базу…", 17, Command::Import},
        {"MenuExport", u"&Экспорт данных из базы…", 18, Command::Export},
        {nullptr, nullptr, 0, Command::Import},
        {"MenuInfoRecords", u"Ин&формационные записи базы теста…", 16, Command::InfoRecords},
        {"MenuCompact", u"&Сжать и восстановить базу", 15, Command::Compact},
        {"MenuDeleteAll", u"&Удаление данных из базы", 26, Command::DeleteAll},
    };
    for (const auto& item : fileItems) {
        if (!item.name) {
            file->addSeparator();
            continue;
        }
        QAction* a = makeAction(file, QString::fromUtf16(item.text), item.image, item.command);
        a->setObjectName(QString::fromLatin1(item.name));
        file->addAction(a);
    }
    file->addSeparator();
    QAction* restore = makeAction(file, QStringLiteral("&Восстановить из резервной копии…"), -1,
                                  Command::RestoreBackup);
    restore->setObjectName(QStringLiteral("MenuRestoreBackup"));
    file->addAction(restore);
    fileMenu_ = file;
    restoreItem_ = restore;
    file->addSeparator();
    QAction* exit = makeAction(file, QStringLiteral("Вы&ход"), 3, Command::Exit);
    exit->setObjectName(QStringLiteral("N3"));
    file->addAction(exit);

    // Its mnemonic is the "а": Alt+П stays with "Помощь".
    QMenu* edit = bar->addMenu(QStringLiteral("Пр&авка"));
    edit->setObjectName(QStringLiteral("MenuEdit"));
    QAction* undo = makeAction(edit, QStringLiteral("&Отменить"), 27, Command::Undo);
    undo->setObjectName(QStringLiteral("MenuUndo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    edit->addAction(undo);
    QAction* redo = makeAction(edit, QStringLiteral("&Повторить"), 28, Command::Redo);
    redo->setObjectName(QStringLiteral("MenuRedo"));
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addAction(redo);
    // The topic and question commands, switched on and off with their tool buttons.
    const struct {
        const char* name;
        const char16_t* text;
        int image;
        Command command;
        QKeySequence key;
    } editItems[] = {
        {"MenuAddTopic", u"Добавить &тему", 20, Command::AddTopic,
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)},
        {"MenuEditTopic", u"&Редактировать тему", 21, Command::EditTopic, {}},
        {"MenuDeleteTopic", u"&Удалить тему", 22, Command::DeleteTopic, {}},
        {nullptr, nullptr, 0, Command::AddTopic, {}},
        {"MenuAddQuestion", u"Добавить &вопрос", 23, Command::AddQuestion,
         QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"MenuEditQuestion", u"Р&едактировать вопрос", 24, Command::EditQuestion, {}},
        {"MenuDeleteQuestion", u"У&далить вопрос", 25, Command::DeleteQuestion, {}},
    };
    edit->addSeparator();
    for (const auto& item : editItems) {
        if (!item.name) {
            edit->addSeparator();
            continue;
        }
        QAction* a = makeAction(edit, QString::fromUtf16(item.text), item.image, item.command);
        a->setObjectName(QString::fromLatin1(item.name));
        if (!item.key.isEmpty()) a->setShortcut(item.key);
        edit->addAction(a);
        selectionMenuItems_.push_back(a);
    }

    QMenu* help = bar->addMenu(QStringLiteral("&Помощь"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    helpMenu_ = help;
    QAction* about = makeAction(help, QStringLiteral("&О программе"), 4, Command::About);
    about->setObjectName(QStringLiteral("MenuAbout"));
    help->addAction(about);
    // Alt+letter opens a menu by its underlined letter, and Alt alone highlights the bar (the
    // style's Alt navigation); F10 opens the first menu, as desktops do.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    f10->setObjectName(QStringLiteral("MenuKey"));
    connect(f10, &QShortcut::activated, this, [bar] {
        if (!bar->actions().isEmpty()) bar->setActiveAction(bar->actions().first());
    });

    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* n9 = makeAction(popupMenu1_, QStringLiteral("Добавить тему"), 20, Command::AddTopic);
    n9->setObjectName(QStringLiteral("N9"));
    popupMenu1_->addAction(n9);
    QAction* n7 =
        makeAction(popupMenu1_, QStringLiteral("Редактировать тему"), 21, Command::EditTopic);
    n7->setObjectName(QStringLiteral("N7"));
    popupMenu1_->addAction(n7);
    QAction* n8 = makeAction(popupMenu1_, QStringLiteral("Удалить тему"), 22, Command::DeleteTopic);
    n8->setObjectName(QStringLiteral("N8"));
    popupMenu1_->addAction(n8);
    popupMenu1_->addSeparator();
    popupMenu1_->addAction(
        makeAction(popupMenu1_, QStringLiteral("Добавить вопрос"), 23, Command::AddQuestion));

    popupMenu2_ = new QMenu(this);
    popupMenu2_->setObjectName(QStringLiteral("PopupMenu2"));
    popupMenu2_->addAction(
        makeAction(popupMenu2_, QStringLiteral("Добавить вопрос"), 23, Command::AddQuestion));
    popupMenu2_->addAction(
        makeAction(popupMenu2_, QStringLiteral("Редактировать вопрос"), 24, Command::EditQuestion));
    QAction* deleteQuestion =
        makeAction(popupMenu2_, QStringLiteral("Удалить вопрос"), 25, Command::DeleteQuestion);
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

    hv_ = new HtmlView(previewPanel);
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
    feeder_ = new PageFeeder(*hv_, this);

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
    // can lie exactly over the second one (layoutStatusPanels).
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(sb_);
        panel->setObjectName(QStringLiteral("SBPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(2);
        sbPanels_[i] = panel;
    }

    // Creation step: the progress bar covers the second status panel.
    progBar1_ = new QProgressBar(sb_);
    progBar1_->setObjectName(QStringLiteral("ProgBar1"));
    progBar1_->setTextVisible(false);
    progBar1_->setRange(0, 100);
    progBar1_->setValue(0);
    layoutStatusPanels();
    sb_->installEventFilter(this);
    // Enter or F2 opens the selected question or renames the topic, Delete deletes it.
    treeDb_->installEventFilter(this);
}

// The first panel is 115 pixels wide, or as wide as its text needs: a status text is never cut
// (a cut "Вопрос : 300" would read "Вопрос : 30"). The second panel and the progress bar over
// it follow it. Only a text wider than the whole status bar is shortened, with "…", and then
// shows whole as the panel's tooltip.
void TForm1::layoutStatusPanels() {
    QLabel* first = sbPanels_[0];
    first->setText(statusText_);
    int width = std::max(kStatusPanelWidths[0], first->sizeHint().width() + 2);
    const int room = sb_->width();
    if (sb_->isVisible() && width > room && room > kStatusPanelWidths[0]) {
        const int frame =
            first->sizeHint().width() - first->fontMetrics().horizontalAdvance(statusText_);
        first->setText(
            first->fontMetrics().elidedText(statusText_, Qt::ElideRight, room - 2 - frame));
        width = room;
    }
    first->setToolTip(first->text() == statusText_ ? QString() : statusText_);

    int left = 0;
    for (int i = 0; i < 3; ++i) {
        const int w = i == 0 ? width : kStatusPanelWidths[i];
        sbPanels_[i]->setGeometry(left, 2, w - 2, kStatusHeight - 2);
        left += w;
    }
    progBar1_->setGeometry(width + 1, 4, kStatusPanelWidths[1] - 4, sb_->height() - 4 - 2);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sb_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        layoutStatusPanels();
    if (watched == treeDb_ && event->type() == QEvent::KeyPress &&
        treeKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::treeKey(int key) {
    const QTreeWidgetItem* node = treeDb_->currentItem();
    if (!node) return false;
    const bool question = node->parent() != nullptr;
    Command command;
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F2:
            command = question ? Command::EditQuestion : Command::EditTopic;
            break;
        case Qt::Key_Delete:
            command = question ? Command::DeleteQuestion : Command::DeleteTopic;
            break;
        default:
            return false;
    }
    // The same command and the same rules as the tool bar's button.
    const QAction* button = question ? butvop_[command == Command::DeleteQuestion ? 2 : 1]
                                     : buttem_[command == Command::DeleteTopic ? 2 : 1];
    if (button && button->isEnabled()) runCommand(command);
    return true;
}

void TForm1::loadPreview(const QString& html) {
    feeder_->show(html);
    hv_->clearHistory();
}

void TForm1::finishPreview() {
    feeder_->finish();
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
    statusText_ = text;
    layoutStatusPanels();
}

QString TForm1::statusText() const {
    return statusText_;
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
    emit bankChanged();
}

void TForm1::startupTreeBuild() {
    if (hooks_.startupTreeBuild) hooks_.startupTreeBuild();
    emit bankChanged();
}

TForm1::PanelRoom TForm1::roomForPanel(int panel, int window, int screen, int preview,
                                       int previewMin, bool canGrow) {
    PanelRoom r;
    if (canGrow) r.grow = std::clamp(screen - window, 0, panel);
    r.fromPreview = std::clamp(panel - r.grow, 0, std::max(0, preview - previewMin));
    return r;
}

void TForm1::addSidePanel(QDockWidget* panel, int width) {
    panel->hide();
    splitter1_->insertWidget(0, panel);
    splitter1_->setStretchFactor(0, 0);
    connect(panel, &QDockWidget::visibilityChanged, this, [this, panel, width](bool visible) {
        if (!visible) {
            // The splitter gives the panel's room to the preview (the only part that stretches);
            // the window gives back what it took.
            if (grownForPanel_ > 0 && !isMaximized() && !isFullScreen())
                resize(this->width() - grownForPanel_, height());
            grownForPanel_ = 0;
            return;
        }
        const int at = splitter1_->indexOf(panel);
        const int tree = splitter1_->indexOf(panel1_);
        const int preview = splitter1_->indexOf(panel2_);
        if (at < 0 || tree < 0 || preview < 0) return;
        const QScreen* screen = this->screen();
        const int free = screen ? screen->availableGeometry().width() : this->width();
        const QRect frame = frameGeometry();
        // The panel brings a splitter handle of its own.
        const int need = width + splitter1_->handleWidth();
        const PanelRoom room =
            roomForPanel(need, frame.width(), free, panel2_->width(),
                         panel2_->minimumSizeHint().width(), !isMaximized() && !isFullScreen());
        // First the panel takes its width from the preview within the window as it is; then
        // the window widens, and the preview, the splitter's only stretching part, gets the
        // widening back.
        QList<int> sizes = splitter1_->sizes();
        sizes[at] = width;
        sizes[tree] = panel1_->width();
        sizes[preview] = panel2_->width() - need;
        splitter1_->setSizes(sizes);
        if (room.grow > 0) {
            resize(this->width() + room.grow, height());
            // Widened past the screen's right edge: moved left into it.
            if (screen) {
                const QRect avail = screen->availableGeometry();
                const int overshoot = frame.x() + frame.width() + room.grow - avail.right() - 1;
                if (overshoot > 0) move(std::max(avail.left(), x() - overshoot), y());
            }
        }
        grownForPanel_ = room.grow;
    });
}

void TForm1::addAboveTree(QWidget* widget) {
    widget->setParent(panel1_);
    if (auto* layout = qobject_cast<QVBoxLayout*>(panel1_->layout()))
        layout->insertWidget(0, widget);
}

void TForm1::addToolAction(QAction* action, const QString& buttonName) {
    toolBar1_->addSeparator();
    toolBar1_->addAction(action);
    if (QWidget* button = toolBar1_->widgetForAction(action)) button->setObjectName(buttonName);
}

void TForm1::addFileActions(const QList<QAction*>& actions) {
    fileMenu_->insertActions(restoreItem_, actions);
    fileMenu_->insertSeparator(restoreItem_);
}

QMenu* TForm1::addMenu(const QString& title, const QString& objectName) {
    QMenuBar* bar = menuBar();
    auto* menu = new QMenu(title, bar);
    menu->setObjectName(objectName);
    bar->insertMenu(helpMenu_->menuAction(), menu);
    return menu;
}

void TForm1::TreeDbChange(QTreeWidgetItem* node) {
    if (hooks_.treeDbChange) hooks_.treeDbChange(node);
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
    // Back in the window: what another program changed meanwhile shows at once.
    if (event->type() == QEvent::WindowActivate && followTimer_->isActive())
        QTimer::singleShot(0, this, [this] { runGuarded([this] { followOtherPrograms(); }); });
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
    try {
        switchDatabase(*datMod_, path);
    } catch (const std::exception& e) {
        // Said so that the teacher can act on it, where the reason is a known one.
        const QString why = zn::whyNotATestBank(path);
        if (why.isEmpty()) throw;
        throw jet::Error(jet::ErrorKind::Unsupported, why.toStdString());
    }
    session_.databasePath = QFileInfo(path).absoluteFilePath();
    setStatusText(QStringLiteral("Открытие базы"));
    repaintStatus();
    datMod_->qrtema.open();
    datMod_->tbSettings.open();
    TreeObnov();
    announceAccessMode();
}

void TForm1::ToolButton17Click() {
    if (aboutBox_) Modal::exec(*aboutBox_);
}

void TForm1::N3Click() {
    close();
}

}  // namespace zn
