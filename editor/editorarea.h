// The editing area of the main window: the topic dialog and the topic commands, the question
// editor page and the question commands, wired to the main window's actions. It owns its dialog,
// page and command objects; the main window and the data module are the program's.
#pragma once

#include <QObject>
#include <memory>

namespace zn {

class TDatMod;

namespace spell {
class Checker;
}
class AreaWindow;
class TForm4;
class TopicCommands;
class QuestionCommands;
class QuestionEditor;

class EditorArea : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorArea)

  public:
    // Creates the topic dialog and the question editor page (inside the main window's editor
    // page) and sets the main window's topic and question command handlers. `form` and `dm`
    // must outlive the area.
    EditorArea(AreaWindow& form, TDatMod& dm, QObject* parent = nullptr);
    ~EditorArea() override;

    TopicCommands& topics() { return *topics_; }
    TForm4& form4() { return *form4_; }
    QuestionCommands& questions() { return *questions_; }
    QuestionEditor& questionEditor() { return *questionEditor_; }

    // Spell checking in the question editor's boxes (see QuestionEditor::enableSpellChecking).
    void enableSpellChecking(spell::Checker& checker);

    // Add a topic: the dialog for topic number n + 1 (refused with an "Ошибка" box when the
    // database holds 14 topics already).
    void Buttem1Click();
    // Rename the current topic in the dialog (nothing without a topic).
    void Buttem2Click();
    // Delete the current topic with its questions and renumber the rest.
    void Buttem3Click();

    // Add a question to the current topic: the editor page for a new question.
    void Butvop1Click();
    // Edit the selected question in the editor page (nothing unless a question is selected).
    void Butvop2Click();
    // Delete the selected question and renumber its topic; N6Click only calls BitDelVopClick.
    // Nothing happens unless a question node is selected.
    void N6Click();
    void BitDelVopClick();

    // The editor page's part in the frame: the answer-count handler run by the show step, and
    // what a tree selection does to the page.
    void TrBarChange();
    void clearEdImage();
    void showAnswersPanel();

  private:
    // After a deletion: what went, and how to get it back, in the status bar.
    void sayDeleted(const QString& what);
    // Whether the tree's current node is a question node.
    bool questionSelected() const;

    AreaWindow& form_;
    TDatMod& dm_;
    std::unique_ptr<TopicCommands> topics_;
    std::unique_ptr<TForm4> form4_;
    std::unique_ptr<QuestionCommands> questions_;
    QuestionEditor* questionEditor_ = nullptr;  // owned by the editor page
};

}  // namespace zn
