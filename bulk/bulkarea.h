// The bulk area of the main window: import and export of the exchange file, deleting all data,
// compaction and the information records dialog, wired to the main window's tool buttons. It
// owns its command objects; the main window, the data module and the dialog TForm5 (created at
// start-up before the data module) are the program's.
#pragma once

#include <QObject>
#include <memory>

class TDatMod;

namespace zn {

class BankExchange;
class AreaWindow;
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

    // Import: a text file chosen in the open dialog replaces every topic, question and answer.
    void ToolButton2Click();
    // Export: every topic, question and answer to the text file named in the save dialog.
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
};

}  // namespace zn
