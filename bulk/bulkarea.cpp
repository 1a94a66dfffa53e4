// Wiring the bulk commands to the main window.
#include "bulk/bulkarea.h"

#include <QAction>
#include <QDir>

#include "bulk/importexport.h"
#include "bulk/inforecords.h"
#include "bulk/tform5.h"
#include "frame/areawindow.h"
#include "frame/dialogfolders.h"
#include "frame/modal.h"
#include "store/tdatmod.h"

namespace zn {

namespace {
// The dialogs of exchange files share their folder.
const QString kExchangeFiles = QStringLiteral("exchange");
}  // namespace

BulkArea::BulkArea(AreaWindow& form, TDatMod& dm, TForm5& form5, QObject* parent)
    : QObject(parent), form_(form), dm_(dm), form5_(form5) {
    exchange_ = std::make_unique<BankExchange>(dm_, form_.feedback(), form_.session(),
                                               [this] { form_.TreeObnov(); });
    // After the connection was opened again, the editing commands follow whether the file can
    // still be written (another program may hold it now).
    exchange_->deletion().afterReopen = [this] { form_.announceAccessMode(); };
    form5_.save = [this](const TForm5::Values& values) { saveInfoRecords(dm_, values); };
    form_.setCommand(Command::Import, [this] { ToolButton2Click(); });
    form_.setCommand(Command::Export, [this] { ToolButton10Click(); });
    form_.setCommand(Command::DeleteAll, [this] { ToolButton3Click(); });
    form_.setCommand(Command::Compact, [this] { ToolButton4Click(); });
    form_.setCommand(Command::InfoRecords, [this] { ToolButton5Click(); });
}

BulkArea::~BulkArea() {
    form5_.save = nullptr;
}

void BulkArea::ToolButton2Click() {
    const QString path =
        Modal::openFile(QString(), dialogFolder(kExchangeFiles, QDir::currentPath()),
                        QString::fromUtf16(kTextFilter));
    if (path.isEmpty()) return;
    rememberDialogFolder(kExchangeFiles, path);
    exchange_->importFrom(path);
}

void BulkArea::ToolButton10Click() {
    const QString path =
        Modal::saveFile(QString(), dialogFolder(kExchangeFiles, QDir::currentPath()),
                        QString::fromUtf16(kTextFilter));
    if (path.isEmpty()) return;
    rememberDialogFolder(kExchangeFiles, path);
    exchange_->exportTo(path);
}

void BulkArea::ToolButton3Click() {
    exchange_->deletion().Deletezap();
    form_.TreeObnov();
    form_.loadPreview(QString());
    // Nothing is selected in the empty tree: no topic or question number to show.
    form_.setStatusText(QString());
    // The topic commands, whatever the last selection left them in (not on a database that
    // cannot be written).
    if (form_.editingEnabled())
        for (Command c : {Command::AddTopic, Command::EditTopic, Command::DeleteTopic})
            for (QAction* a : form_.actionsOf(c)) a->setEnabled(true);
}

void BulkArea::ToolButton4Click() {
    exchange_->deletion().Compact();
    form_.TreeObnov();
}

void BulkArea::ToolButton5Click() {
    if (!dm_.tbSettings.isOpen() || dm_.tbSettings.isEmpty()) return;
    const InfoRecords records = readInfoRecords(dm_);
    form5_.setValues(records.values);
    Modal::exec(form5_);
}

}  // namespace zn
