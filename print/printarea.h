// The print area: "Файл" → "Печать…" (Ctrl+P) and "Файл" → "Сохранить в PDF…". Each shows the
// print dialog, reads the bank, lays the paper out and then either opens Qt's print preview
// (from which the teacher prints or saves a PDF) or writes a PDF file chosen in the save
// dialog. Pictures missing from the data folder are framed on the page and listed once in a
// message afterwards. Every dialog and message goes through the modal seam.
//
// The area owns its two actions; the main window puts them into its menu and tells the area
// which topics the tree has selected.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "print/paper.h"

class QAction;
class QPrinter;
class QWidget;

namespace zn {

class TDatMod;

struct Session;

namespace print {

class Pictures;

class PrintArea : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PrintArea)

  public:
    // The numbers (numtema) of the topics selected in the tree, asked for when a command starts.
    using SelectedTopics = std::function<std::vector<qint64>()>;

    // `dm`, `session` and `window` (the dialogs' parent, the actions' owner) must outlive the
    // area. `selectedTopics` may be empty: no topic is ever selected.
    PrintArea(TDatMod& dm, const Session& session, QWidget& window,
              SelectedTopics selectedTopics = {}, QObject* parent = nullptr);
    ~PrintArea() override;

    // "Печать…" (Ctrl+P, objectName ActPrint) and "Сохранить в PDF…" (ActSavePdf), each
    // running its command inside the general error report's guard.
    QAction* printAction() const { return print_; }
    QAction* savePdfAction() const { return savePdf_; }

    // The commands. Nothing happens when no database is open.
    void print();
    void savePdf();

    // The choices the dialog starts from: those of the last printout (a new seed at first).
    const Options& choices() const { return choices_; }

  private:
    // The dialog; false when it was cancelled.
    bool ask(const QString& okText);
    // The paper of the current choices; empty (no questions) after saying so.
    bool makePaperNow(Paper& paper);
    void tell(const Paper& paper, const Pictures& pictures);

    TDatMod& dm_;
    const Session& session_;
    QWidget& window_;
    SelectedTopics selectedTopics_;
    Options choices_;
    QAction* print_ = nullptr;
    QAction* savePdf_ = nullptr;
};

}  // namespace print
}  // namespace zn
