// The editing area of the main window: the topic dialog and the topic commands, wired to the
// main window's actions. It owns its dialog and command objects; the main window and the data
// module are the program's.
#pragma once

#include <QObject>
#include <memory>

class TDatMod;

namespace zn {

class TForm1;
class TForm4;
class TopicCommands;

class EditorArea : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorArea)

  public:
    // Creates the topic dialog and sets the main window's topic command handlers. `form` and
    // `dm` must outlive the area.
    EditorArea(TForm1& form, TDatMod& dm, QObject* parent = nullptr);
    ~EditorArea() override;

    TopicCommands& topics() { return *topics_; }
    TForm4& form4() { return *form4_; }

    // Add a topic: the dialog for topic number n + 1 (refused with an "Ошибка" box when the
    // database holds 14 topics already).
    void Buttem1Click();
    // Rename the current topic in the dialog (nothing without a topic).
    void Buttem2Click();
    // Delete the current topic with its questions and renumber the rest.
    void Buttem3Click();

  private:
    TForm1& form_;
    TDatMod& dm_;
    std::unique_ptr<TopicCommands> topics_;
    std::unique_ptr<TForm4> form4_;
};

}  // namespace zn
