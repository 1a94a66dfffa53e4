// What an area of the program (the editor, the bulk commands, the problem list, undo) may ask
// of the main window. Areas hold an AreaWindow&, never the window's own class: they run their
// commands through it, show what they did through it and add their own widgets through it
// (a side panel beside the tree, a widget above the tree, a tool bar action, a menu), instead of
// finding the window's children by name or wrapping its hooks.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <vector>

#include "store/feedback.h"
#include "store/session.h"

class QAction;
class QDockWidget;
class QMenu;
class QTabWidget;
class QTreeWidget;

namespace zn {

class TForm9;

// The commands of the tool bars, menus and popup menus.
enum class Command {
    OpenDatabase,    // ToolButton9, "Файл" -> "Открыть базу данных"
    Import,          // ToolButton2
    Export,          // ToolButton10
    DeleteAll,       // ToolButton3
    Compact,         // ToolButton4
    InfoRecords,     // ToolButton5
    AddTopic,        // Buttem1, popup N9
    EditTopic,       // Buttem2, popup N7
    DeleteTopic,     // Buttem3, popup N8
    AddQuestion,     // Butvop1, both popups
    EditQuestion,    // Butvop2, popup
    DeleteQuestion,  // Butvop3, popup N6
    About,           // ToolButton17, "Помощь" -> "О программе"
    Exit,            // "Файл" -> "Выход"
    Undo,            // ToolButtonUndo, "Правка" -> "Отменить" (Ctrl+Z)
    Redo,           // ToolButtonRedo, "Правка" -> "Повторить" (Ctrl+Y, Ctrl+Shift+Z)
    RestoreBackup,  // "Файл" -> "Восстановить из резервной копии…"
};

class AreaWindow : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AreaWindow)

  public:
    using QMainWindow::QMainWindow;
    ~AreaWindow() override = default;

    // --- Commands
    // The handler every action of `command` runs (inside the error guard); replaces the previous
    // one. Without a handler the command does nothing.
    virtual void setCommand(Command command, std::function<void()> handler) = 0;
    // Runs the command's handler as a click would.
    virtual void runCommand(Command command) = 0;
    // Every action of the command (tool button, menu and popup items).
    virtual const std::vector<QAction*>& actionsOf(Command command) const = 0;
    // Whether the commands that change the database are on (the database can be written).
    virtual bool editingEnabled() const = 0;
    // After a database was opened again: says why it cannot be written when it cannot, and
    // switches the editing commands off or on.
    virtual void announceAccessMode() = 0;
    // Status text, progress bar and message boxes of commands.
    virtual Feedback& feedback() = 0;
    virtual Session& session() = 0;

    // --- The bank shown
    // The tree rebuild that ends every change of topics or questions; bankChanged() follows it.
    virtual void TreeObnov() = 0;
    virtual QTreeWidget* treeDb() const = 0;
    virtual void loadPreview(const QString& html) = 0;
    virtual void setStatusText(const QString& text) = 0;

    // --- The question editor's page, in the window's page control
    virtual QTabWidget* pageControl() const = 0;
    virtual QWidget* editorPage() const = 0;
    virtual void setEditorTabVisible(bool visible) = 0;
    virtual TForm9* pictureWindow() const = 0;

    // --- Room for an area's own widgets
    // A panel beside the tree (on its left), hidden until shown. Shown, it is `width` wide: the
    // window grows by that much where the screen has room (and gives it back when the panel is
    // hidden), so the tree and the preview keep their widths; what the screen cannot give comes
    // from the preview.
    virtual void addSidePanel(QDockWidget* panel, int width) = 0;
    // A widget above the tree (a search box).
    virtual void addAboveTree(QWidget* widget) = 0;
    // An action on the main tool bar, after a separator; its button gets `buttonName` as its
    // object name.
    virtual void addToolAction(QAction* action, const QString& buttonName) = 0;
    // A menu of the menu bar, before "Помощь", with `objectName`; the window owns it.
    virtual QMenu* addMenu(const QString& title, const QString& objectName) = 0;
    // Items of "Файл", placed before "Восстановить из резервной копии…" and set apart by a
    // separator.
    virtual void addFileActions(const QList<QAction*>& actions) = 0;

  signals:
    // The tree was rebuilt (after a command, at start-up, after opening a database): whoever
    // shows something of the bank looks again.
    void bankChanged();
    // A command's handler has run (or failed), or the editing commands were switched on or
    // off: whoever shows the state of commands (the undo captions) looks again.
    void commandsChanged();
};

}  // namespace zn
