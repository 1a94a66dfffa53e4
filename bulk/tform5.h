// The information records dialog TForm5: the test's launch and program window titles, its name,
// description and date. It only shows and collects the five texts: the bulk area fills it from
// the records and hands what OK (BitBtn1) collects to the save. There is no cancel button;
// Escape does nothing and the window's close box closes it without saving.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "bulk/inforecords.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zn {

class TForm5 : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm5)

  public:
    static constexpr int kClientWidth = 574;
    static constexpr int kClientHeight = 259;

    using Values = std::array<QString, InfoRecords::kCount>;

    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;  // launch window's title
    QPlainTextEdit* Memo2 = nullptr;  // program window's title
    QPlainTextEdit* Memo3 = nullptr;  // the test's name
    QPlainTextEdit* Memo4 = nullptr;  // its description
    QLineEdit* EdDate = nullptr;      // its date
    QPushButton* BitBtn1 = nullptr;   // "OK"

    // The five texts in storage order (Memo1..Memo4, EdDate). Stored line breaks (CR LF) show as
    // lines.
    void setValues(const Values& values);
    // The texts as typed, in storage order.
    Values values() const;

    // What OK does with the texts (set by the bulk area); empty: nothing.
    std::function<void(const Values&)> save;
    // OK: saves and closes the dialog. When the save fails the general error report says why
    // and the dialog stays open with what was typed.
    void BitBtn1Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

}  // namespace zn
