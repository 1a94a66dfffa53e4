// The bulk area of the main window: import and export of the exchange file, deleting all data,
// compaction and the information records dialog, wired to the main window's tool buttons. It
// owns its command objects; the main window, the data module and the dialog TForm5 (created at
// start-up before the data module) are the program's.
#pragma once

#include <QObject>
#include <memory>

namespace zn {

class TDatMod;

class BankExchange;
class AreaWindow;
class ImportExportUi;
class TForm5;

class BulkArea : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BulkArea)

  public:
    // Text files of the exchange dialogs.
    static constexpr const char16_t* kTextFilter = u"Текстовый документ (*.txt)|*.txt";

    // Sets the main window's handlers for Import, Export, DeleteAll, Compact and InfoRecords.
    // `form`, `dm` and `form5` must outlive the area.
    BulkArea(AreaWindow& form, TDatMod& dm, TForm5& form5, QObject* parent = nullptr);
    ~BulkArea() override;

    BankExchange& exchange() { return *exchange_; }

    // Import: a file of any format (bulk/importui.h) replaces the bank or is added to it.
    void ToolButton2Click();
    // Export: the bank to the exchange file, or chosen topics to another program's format.
    void ToolButton10Click();
    // Delete all topics, questions and answers, compact the file, rebuild the (empty) tree.
    void ToolButton3Click();
    // Compact the file and rebuild the tree.
    void ToolButton4Click();
    // The information records dialog.
    void ToolButton5Click();

  private:
    AreaWindow& form_;
    TDatMod& dm_;
    TForm5& form5_;
    std::unique_ptr<BankExchange> exchange_;
    std::unique_ptr<ImportExportUi> ui_;
};

}  // namespace zn
