// Undo, redo and restoring a backup, wired to the main window.
#include "undo/undoarea.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "frame/areawindow.h"
#include "frame/modal.h"
#include "store/filecommand.h"
#include "store/tdatmod.h"

namespace zn {

BackupsDialog::BackupsDialog(const std::vector<BackupInfo>& backups, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FormBackups"));
    setWindowTitle(QStringLiteral("Восстановить из резервной копии"));
    auto* column = new QVBoxLayout(this);
    auto* hint =
        new QLabel(QStringLiteral("Резервные копии базы (сначала новые). Восстановление тоже можно "
                                  "отменить."),
                   this);
    hint->setWordWrap(true);
    column->addWidget(hint);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ListBackups"));
    for (const BackupInfo& b : backups) list_->addItem(describe(b));
    if (list_->count() > 0) list_->setCurrentRow(0);
    column->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok =
        buttons->addButton(QStringLiteral("Восстановить"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ButtonRestore"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("ButtonCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    column->addWidget(buttons);
    resize(520, 300);
}

int BackupsDialog::chosen() const {
    return list_->currentRow();
}

UndoArea::UndoArea(AreaWindow& form, TDatMod& dm, QObject* parent)
    : QObject(parent), form_(form), dm_(dm) {
    form_.setCommand(Command::Undo, [this] { undo(); });
    form_.setCommand(Command::Redo, [this] { redo(); });
    form_.setCommand(Command::RestoreBackup, [this] { restoreBackup(); });
    connect(&form_, &AreaWindow::commandsChanged, this, &UndoArea::refresh);
    // Commands that are not the main window's (the editor page's "Записать") change it too.
    dm_.history.changed = [this] { refresh(); };
    refresh();
}

UndoArea::~UndoArea() {
    dm_.history.changed = nullptr;
}

void UndoArea::refresh() {
    const bool writable = form_.editingEnabled() && dm_.Conn.isOpen() && !dm_.readOnly();
    struct Side {
        Command command;
        QString verb;
        bool can;
        QString label;
    } sides[] = {
        {Command::Undo, QStringLiteral("Отменить"), dm_.history.canUndo(), dm_.history.undoLabel()},
        {Command::Redo, QStringLiteral("Повторить"), dm_.history.canRedo(),
         dm_.history.redoLabel()}};
    for (const Side& s : sides) {
        const QString text = s.can ? s.verb + u' ' + s.label : s.verb;
        for (QAction* a : form_.actionsOf(s.command)) {
            // Menu items keep their mnemonic.
            a->setText(a->objectName().startsWith(u"Menu") ? u'&' + text : text);
            a->setToolTip(text);
            a->setEnabled(writable && s.can);
        }
    }
}

void UndoArea::undo() {
    step(false);
}

void UndoArea::redo() {
    step(true);
}

void UndoArea::step(bool redo) {
    if (!dm_.Conn.isOpen() || dm_.readOnly()) return;
    const QString why = redo ? dm_.redo() : dm_.undo();
    if (!why.isEmpty()) Modal::message(MsgIcon::Information, QStringLiteral("Информация"), why);
    afterFileChange();
}

void UndoArea::afterFileChange() {
    form_.TreeObnov();
    if (dm_.readOnly()) form_.announceAccessMode();
}

void UndoArea::restoreBackup() {
    if (!dm_.Conn.isOpen() || dm_.readOnly()) return;
    const QString db = dm_.Conn.fileName();
    const std::vector<BackupInfo> backups = listBackups(db);
    if (backups.empty()) {
        Modal::message(MsgIcon::Information, QStringLiteral("Информация"),
                       QStringLiteral("Резервных копий этой базы нет. Они появляются перед "
                                      "импортом, удалением всех данных и сжатием базы."));
        return;
    }
    BackupsDialog dialog(backups, &form_);
    if (Modal::exec(dialog) != QDialog::Accepted) return;
    const int row = dialog.chosen();
    if (row < 0 || row >= int(backups.size())) return;
    restoreFromBackup(dm_, db, backups[size_t(row)].path);
    afterFileChange();
}

}  // namespace zn
