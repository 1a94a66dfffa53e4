// What a command tells the person using it while it runs: the status text, the progress of a
// long loop, and a message box it shows and goes on after. The main window implements it with
// its status bar, progress bar and the modal seam; the command-line tool with standard error;
// tests record it. Commands take it by reference and hold no widgets.
#pragma once

#include <QString>

namespace zn {

class Feedback {
  public:
    virtual ~Feedback() = default;

    // The first status panel, repainted at once; an empty text clears it.
    virtual void status(const QString& text) { (void)text; }
    // The progress bar: its maximum (the position is left alone), its position, one step.
    virtual void progressMax(int max) { (void)max; }
    virtual void progressPosition(int position) { (void)position; }
    virtual void progressStep() {}

    enum class Box {
        Error,  // input the user can correct: caption "Ошибка", exclamation icon, OK
        Plain,  // the application title as caption, no icon, OK
        Info,   // the application title as caption, information icon, OK
    };
    // A modal message box; returns when it was closed.
    virtual void message(Box kind, const QString& text) {
        (void)kind;
        (void)text;
    }
    // A question with the buttons Yes and No; returns whether Yes was chosen. Without a person
    // to ask the answer is No.
    virtual bool ask(const QString& question) {
        (void)question;
        return false;
    }
};

}  // namespace zn
