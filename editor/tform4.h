// The topic dialog TForm4: the number and the name of a topic, for adding one or renaming the
// current one. It only collects the name: OK (BitBtn2) checks it and hands it to the topic
// commands. OK is neither a default nor a cancel button, so Enter and Escape do not press it;
// the window's close box closes the dialog without writing anything.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zn {

class TopicCommands;

class TForm4 : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm4)

  public:
    static constexpr int kClientWidth = 430;
    static constexpr int kClientHeight = 90;

    // Whether the dialog was opened for adding or for renaming: two one-byte flags, set
    // together to opposite values by the command that opens the dialog; both 0 before it was
    // first opened. Only OK reads them, the edit flag first.
    struct Mode {
        unsigned char edit = 0;
        unsigned char add = 0;
    };
    Mode TopicDialogMode;

    // `commands` must outlive the dialog.
    explicit TForm4(TopicCommands& commands, QWidget* parent = nullptr);
    ~TForm4() override;

    QLabel* Label1 = nullptr;
    QLabel* lbTema = nullptr;        // the topic number
    QLineEdit* Edit1 = nullptr;      // the topic name
    QPushButton* BitBtn2 = nullptr;  // "OK"

    // OK: an empty or too long name is reported in an "Ошибка" box and the dialog stays open;
    // otherwise the topic is renamed or added (each one write, then the tree rebuilt) and the
    // dialog closes. An error of the write goes to the general error report; the dialog stays.
    void BitBtn2Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    TopicCommands& commands_;
};

}  // namespace zn
