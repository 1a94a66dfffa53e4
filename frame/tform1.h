// The main window TForm1: cool bar with the two tool bars, menus, the tree beside the page
// control (preview page and the editor page) and the status bar with its progress bar. It
// coordinates: each command's tool button, menu and popup items run one handler inside the
// error guard; the areas that own the commands (editor, bulk) set those handlers. The window
// itself handles only opening a database, the about window and the exit.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "frame/areawindow.h"
#include "store/feedback.h"
#include "store/session.h"

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTextBrowser;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace zn {

class TDatMod;

class PageFeeder;
class TAboutBox;
class TForm9;

class TForm1 : public AreaWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm1)

  public:
    // Outer size of the window, frame included.
    static constexpr int kOuterWidth = 964;
    static constexpr int kOuterHeight = 629;
    // Widths of the three status panels; the first carries every status text and grows when a
    // text needs more room (the second panel and the progress bar then move right with it).
    static constexpr int kStatusPanelWidths[3] = {115, 150, 50};
    static constexpr int kStatusHeight = 19;

    // Filter of the open dialog OpenDialog1.
    static constexpr const char16_t* kDatabaseFilter = u"Office Access (*.mdb)|*.mdb";

    using Command = zn::Command;

    // Work the frame calls at fixed points but other areas own. An empty hook does nothing.
    struct Hooks {
        // The tree's start-up build: the last data step of the show step, after qrtema was
        // opened and TbTema emptied.
        std::function<void()> startupTreeBuild;
        // The tree rebuild that ends every change of topics or questions (TreeObnov).
        std::function<void()> treeObnov;
        // The tree's selection handler (TreeDbChange) for a node of TreeDb.
        std::function<void(QTreeWidgetItem*)> treeDbChange;
        // The editor page's answer-count handler (TrBarChange), run once at the end of the show
        // step.
        std::function<void()> trBarChange;
        // Switches the topic and question commands as the selected node wants them; run
        // whenever the editing commands are switched back on.
        std::function<void()> selectionCommands;
    };

    // Runs the creation step: DataFolder is set and the progress bar is placed over the second
    // status panel. Touches no data: the data module is created after the main window.
    // `session` is the program's; the creation step sets its data folder: the "data" folder
    // (letter case ignored, see preview/datafiles.h) of the working directory, or, when
    // session.databasePath already names the database the program starts on, of that file's
    // folder. It must outlive the window.
    explicit TForm1(Session& session, QWidget* parent = nullptr);
    ~TForm1() override;

    // Secondary windows, created after the main window; not owned.
    void setAboutBox(TAboutBox* about) { aboutBox_ = about; }
    void setPictureWindow(TForm9* picture) { pictureWindow_ = picture; }
    TAboutBox* aboutBox() const { return aboutBox_; }
    TForm9* pictureWindow() const override { return pictureWindow_; }

    // The data module, created after the main window; not owned. Without one the database
    // commands do nothing.
    void setDataModule(TDatMod* datMod) { datMod_ = datMod; }
    TDatMod* dataModule() const { return datMod_; }

    Hooks& hooks() { return hooks_; }
    // Run their hooks; the other areas call these by name.
    void TreeObnov() override;
    // The tree's start-up build (its hook), then bankChanged().
    void startupTreeBuild();
    void TreeDbChange(QTreeWidgetItem* node);
    void TrBarChange();

    Session& session() override { return session_; }
    const Session& session() const { return session_; }

    // The handler every action of `command` runs (inside the error guard); replaces the previous
    // one. Without a handler the command does nothing.
    void setCommand(Command command, std::function<void()> handler) override;
    // Runs the command's handler as a click would.
    void runCommand(Command command) override;
    // Every action of the command (tool button, menu and popup items).
    const std::vector<QAction*>& actionsOf(Command command) const override;
    // Editing commands on or off, for a database that can or cannot be written: every action of
    // the commands that change the database (import, delete all, compaction, information
    // records, topic and question commands) is disabled while it cannot.
    void setEditingEnabled(bool on);
    bool editingEnabled() const override { return editingEnabled_; }
    // Tells the user, when the open database cannot be written, why, and switches the editing
    // commands off (or back on when it can). Called after every opening of a database.
    void announceAccessMode() override;

    // For a database open for reading: when another program has committed since it was read,
    // the datasets are read again and the tree rebuilt, its selection kept where it can be.
    // Runs every few seconds while the database is read-only, and when the window is activated.
    void followOtherPrograms();

    // Status text and progress bar for commands, and their message boxes through the modal seam.
    Feedback& feedback() override;

    // The part of the show step that needs the data module (connect, open the datasets, build
    // the tree). Runs once, inside the error guard, at the first show, after the tree's row
    // height is set and before the editor tab is hidden; TrBarChange follows the hiding.
    void setShowStep(std::function<void()> step) { showStep_ = std::move(step); }

    // Controls used by the other areas.
    QTreeWidget* treeDb() const override { return treeDb_; }
    QTextBrowser* hv() const { return hv_; }
    QTabWidget* pageControl() const override { return pageControl_; }
    QWidget* previewPage() const { return tabSh1_; }          // "Просмотр "
    QWidget* editorPage() const override { return tabSh2_; }  // "Редактирование"
    QStatusBar* statusBarSB() const { return sb_; }
    QProgressBar* progBar1() const { return progBar1_; }
    QMenu* popupMenu1() const { return popupMenu1_; }  // topic menu
    QMenu* popupMenu2() const { return popupMenu2_; }  // question menu

    // The tool bar actions of ToolBar2 that the tree selection enables and disables; disabling
    // an action disables its tool button. The popup menus have their own, never disabled items.
    QAction* buttem1() const { return buttem_[0]; }
    QAction* buttem2() const { return buttem_[1]; }
    QAction* buttem3() const { return buttem_[2]; }
    QAction* butvop1() const { return butvop_[0]; }
    QAction* butvop2() const { return butvop_[1]; }
    QAction* butvop3() const { return butvop_[2]; }

    // Loads an HTML text into the preview, replacing what it showed; keeps no history. The text
    // is adapted to what the view understands (see preview/htmlview.h) on the way; a long page
    // shows its beginning at once and the rest follows from the event loop (preview/pagefeeder.h).
    void loadPreview(const QString& html) override;
    // Appends at once what the preview still has to show of its page.
    void finishPreview();

    // Shows or hides the tab of the editor page. Hiding it brings the preview page to the front.
    void setEditorTabVisible(bool visible) override;
    bool isEditorTabVisible() const;

    // The menu the tree shows on a right click (initially PopupMenu2); not owned.
    void setTreePopup(QMenu* menu) { treePopup_ = menu; }
    QMenu* treePopup() const { return treePopup_; }

    // Sets the height of every row of the tree.
    void setTreeRowHeight(int pixels);

    // The first status panel and an immediate repaint of the status bar. The text always shows
    // whole: the panel grows to it (and is 115 pixels wide at least).
    void setStatusText(const QString& text) override;
    QString statusText() const;
    void repaintStatus();

    // Room for a side panel of `panel` pixels in a window `window` wide on a screen whose free
    // width is `screen`, with the preview `preview` wide and needing `previewMin` at least:
    // `grow` is what the window widens by, `fromPreview` what the preview gives up.
    struct PanelRoom {
        int grow = 0;
        int fromPreview = 0;
    };
    static PanelRoom roomForPanel(int panel, int window, int screen, int preview, int previewMin,
                                  bool canGrow);

    // Room for the areas' widgets (frame/areawindow.h).
    void addSidePanel(QDockWidget* panel, int width) override;
    void addAboveTree(QWidget* widget) override;
    void addToolAction(QAction* action, const QString& buttonName) override;
    QMenu* addMenu(const QString& title, const QString& objectName) override;
    void addFileActions(const QList<QAction*>& actions) override;
    QMenu* questionMenu() const override { return popupMenu2_; }

    // The window's own command handlers.
    void ToolButton9Click();   // open a test database
    void ToolButton17Click();  // about
    void N3Click();            // exit

  signals:
    // The window was closed (by "Выход" or any other means); the program ends on it.
    void closed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* makeAction(QObject* owner, const QString& text, int image, Command command);
    QAction* addToolButton(QToolBar* bar, const char* name, const QString& hint, int image,
                           Command command);
    void addToolSeparator(QToolBar* bar, const char* name);
    void buildCoolBar();
    void buildMenus();
    void buildBody();
    void buildStatusBar();
    void applyOuterGeometry();
    void layoutStatusPanels();
    // A key pressed in the tree that runs a command on the selected node; true when it is one.
    bool treeKey(int key);

    QWidget* coolBar1_ = nullptr;
    QToolBar* toolBar1_ = nullptr;
    QToolBar* toolBar2_ = nullptr;
    QSplitter* splitter1_ = nullptr;
    QWidget* panel1_ = nullptr;
    QWidget* panel2_ = nullptr;
    QTreeWidget* treeDb_ = nullptr;
    QTabWidget* pageControl_ = nullptr;
    QWidget* tabSh1_ = nullptr;
    QWidget* tabSh2_ = nullptr;
    QTextBrowser* hv_ = nullptr;
    PageFeeder* feeder_ = nullptr;
    QStatusBar* sb_ = nullptr;
    QLabel* sbPanels_[3] = {};
    QString statusText_;  // the first panel's text, whole
    QProgressBar* progBar1_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    QMenu* popupMenu2_ = nullptr;
    QMenu* treePopup_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* restoreItem_ = nullptr;  // where the areas' "Файл" items go before
    QAction* buttem_[3] = {};
    QAction* butvop_[3] = {};
    // The "Правка" items of the topic and question commands, which follow the tool buttons.
    std::vector<QAction*> selectionMenuItems_;
    TAboutBox* aboutBox_ = nullptr;
    TForm9* pictureWindow_ = nullptr;
    TDatMod* datMod_ = nullptr;
    Session& session_;
    Hooks hooks_;
    std::map<Command, std::vector<QAction*>> actions_;
    std::map<Command, std::function<void()>> handlers_;
    bool editingEnabled_ = true;
    std::unique_ptr<Feedback> feedback_;
    QTimer* followTimer_ = nullptr;
    std::function<void()> showStep_;
    bool shown_ = false;
    bool outerSizeFitted_ = false;
    int grownForPanel_ = 0;  // what the window widened by for a side panel shown  // the frame was
                             // known when the size was set
};

}  // namespace zn
