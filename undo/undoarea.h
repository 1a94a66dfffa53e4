// The undo area: "Отменить" and "Повторить" (menu items and tool buttons naming the command they
// act on) and "Восстановить из резервной копии…" with its list of backups, wired to the main
// window's commands. The work itself is the data module's undo history (store/undohistory.h)
// and the file commands (store/filecommand.h); this only asks and shows.
#pragma once

#include <QDialog>
#include <QObject>
#include <QString>
#include <vector>

#include "store/backups.h"

class QListWidget;

namespace zn {

class TDatMod;

class AreaWindow;

// The list of backups to restore from: one line per backup, newest first; "Восстановить" is
// the default button.
class BackupsDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackupsDialog)

  public:
    explicit BackupsDialog(const std::vector<BackupInfo>& backups, QWidget* parent = nullptr);
    QListWidget* list() const { return list_; }
    // The chosen row, or -1.
    int chosen() const;

  private:
    QListWidget* list_;
};

class UndoArea : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UndoArea)

  public:
    // Sets the main window's handlers for Undo, Redo and RestoreBackup. Both must outlive this.
    UndoArea(AreaWindow& form, TDatMod& dm, QObject* parent = nullptr);
    ~UndoArea() override;

    void undo();
    void redo();
    void restoreBackup();
    // Captions and enabled state of the undo and redo actions from the history.
    void refresh();

  private:
    void step(bool redo);
    void afterFileChange();

    AreaWindow& form_;
    TDatMod& dm_;
};

}  // namespace zn
