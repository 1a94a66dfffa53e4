// The single seam through which every modal interaction of the program passes: message boxes,
// the open and save file dialogs and running a modal window. Production shows the real Qt
// dialogs; tests install a responder that records each request and answers it, so no dialog
// ever blocks a test. The seam knows no window of the program, so every area may use it.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QDialog;

namespace zn {

// The application's title: the caption of the general error report and of plain boxes.
QString appTitle();

enum class MsgIcon {
    None,         // a plain box
    Information,  // information
    Exclamation,  // warning triangle: input the user can correct
    Stop,         // error: the general error report
    Question,
};

// Buttons of a message box; combine with |.
enum MsgButton : unsigned {
    NoButton = 0,
    Ok = 1u << 0,
    Cancel = 1u << 1,
    Yes = 1u << 2,
    No = 1u << 3,
};

// One modal request as the responder sees it.
struct ModalRequest {
    enum class Kind { Message, Choice, OpenFile, SaveFile, Window };
    Kind kind = Kind::Message;
    QString caption;               // box or dialog caption, the window's title for Window
    QString text;                  // message text; the window's objectName for Window
    MsgIcon icon = MsgIcon::None;  // Message only
    unsigned buttons = NoButton;   // Message only
    QString folder;                // file dialogs: initial folder
    QString filter;                // file dialogs: "Name (*.x)|*.x|..." as given by the caller
    QStringList choices;           // Choice only: the buttons' captions, in order
    QDialog* window = nullptr;     // Window only; valid during the call
};

// A responder's answer; only the field that fits the request's kind is read.
struct ModalAnswer {
    unsigned button = Ok;  // Message: the button pressed
    QString path;          // OpenFile/SaveFile: the chosen full path, empty = cancelled
    int result = 0;        // Window: the dialog's result (QDialog::Accepted = 1, Rejected = 0);
                           // Choice: the index of the choice made
};

using ModalResponder = std::function<ModalAnswer(const ModalRequest&)>;

class Modal {
  public:
    // Shows a message box and returns the button pressed. `buttons` defaults to one OK button.
    static unsigned message(MsgIcon icon, const QString& caption, const QString& text,
                            unsigned buttons = Ok);
    // A message box whose buttons are `choices` (captions saying what each does, the first the
    // default). Returns the index of the one pressed; closing the box (Escape, the title bar)
    // gives the last, which should be the one that changes nothing.
    static int choose(MsgIcon icon, const QString& caption, const QString& text,
                      const QStringList& choices);
    // The general error report's look: stop icon, application title, one OK button.
    static void error(const QString& text);
    // A plain box: no icon, the application title as caption, one OK button.
    static void plain(const QString& text);

    // File dialogs. `filter` is in the "Description (*.a;*.b)|*.a;*.b|..." pair form. Returns the
    // chosen file's full path, or an empty string when the user cancels.
    static QString openFile(const QString& caption, const QString& folder, const QString& filter);
    static QString saveFile(const QString& caption, const QString& folder, const QString& filter);

    // Runs `window` modally and returns its result code.
    static int exec(QDialog& window);

    // Installs a responder that answers every request instead of the real dialogs; an empty
    // function restores the real dialogs. Returns the previous responder.
    static ModalResponder setResponder(ModalResponder responder);

    // Converts the pair form "Desc (*.a;*.b)|*.a;*.b|Desc2|*.c" into a Qt name filter list
    // "Desc (*.a *.b);;Desc2 (*.c)": Qt takes the patterns from the description's trailing
    // parentheses and splits them at blanks only.
    static QString qtFilter(const QString& pairFilter);
};

// Test helper: while alive, answers every modal request from a queue of scripted answers and
// records every request. With the queue empty a message gets its first button, a choice its
// last (the one that changes nothing), a file dialog is cancelled and a window is rejected.
// Restores the previous responder when destroyed.
class ScriptedModal {
  public:
    ScriptedModal();
    ~ScriptedModal();
    ScriptedModal(const ScriptedModal&) = delete;
    ScriptedModal& operator=(const ScriptedModal&) = delete;

    void push(const ModalAnswer& answer) { answers_.push_back(answer); }
    // Called for each request before it is answered, e.g. to fill in a window's fields.
    std::function<void(const ModalRequest&)> onRequest;

    // Recorded requests; `window` pointers are cleared after the call.
    const std::vector<ModalRequest>& calls() const { return calls_; }
    void clear() { calls_.clear(); }

  private:
    std::deque<ModalAnswer> answers_;
    std::vector<ModalRequest> calls_;
    ModalResponder previous_;
};

}  // namespace zn
