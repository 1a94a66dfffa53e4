// The program as a whole: the start-up sequence that creates the windows and the data module in
// their fixed order, the main window's show step, and the run until the main window is closed.
// main() only makes the application object and calls run(); tests drive the same steps
// in-process with the working directory of their choice.
//
// The program takes one optional argument, the path of a database to open in place of test.mdb
// in the working directory (what a desktop entry passes for a double-clicked file). DataFolder
// is then the "data" folder beside that file. Without it everything follows the working
// directory.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "spell/checker.h"
#include "store/session.h"

namespace zn {

class TDatMod;

class TAboutBox;
class TForm1;
class TForm9;
class TForm5;
class TopicTree;
class EditorArea;
class BulkArea;
class MovesArea;
class ProblemsArea;
class UndoArea;
namespace print {
class PrintArea;
}

// The command line, without the program's own name and Qt's options: no argument, or the path
// of the database to start on.
struct StartArguments {
    bool ok = true;    // false: more than one argument, or an empty one
    QString database;  // empty: test.mdb in the working directory
    static StartArguments parse(const QStringList& arguments);
    // The text printed for a command line that is not ok.
    static QString usage();
};

class Program {
  public:
    // `startDatabase`: the database to start on (relative to the working directory or
    // absolute); empty: test.mdb in the working directory.
    explicit Program(const QString& startDatabase = QString());
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The dictionary of the spell checking (the system's Russian one unless set): a test sets
    // another, or a missing one. REQUIRES: before create().
    void setSpellDictionary(const spell::Dictionary& dictionary) { dictionary_ = dictionary; }

    // Creates everything in start-up order. The spell checker comes first, so that its
    // dictionary loads while the windows are made; a missing dictionary is said once in the
    // status bar after the first show, and the program runs without spell checking. The data module
    // connects to test.mdb in the working directory (or to the start database). When that fails, a
    // box says why in Russian and offers to open another database, to create an empty test database
    // when the file is missing, or to end; ending returns false, with no window shown and the later
    // objects not created. Opening another one makes it the start database (its data folder with
    // it). REQUIRES: a QApplication exists; called once.
    bool create();
    // Shows the main window, which runs its show step.
    // REQUIRES: create() returned true.
    void show();
    // create(), show(), then the event loop until the main window is closed. Returns the exit
    // code: 0 after a normal end, 1 when the start-up failed.
    int run();

    // The objects, once created (nullptr before, and after a failed start-up for those that come
    // later).
    TForm1* form1() const { return form1_.get(); }
    TDatMod* datMod() const { return datMod_.get(); }
    TAboutBox* aboutBox() const { return aboutBox_.get(); }
    TForm9* form9() const { return form9_.get(); }
    TopicTree* tree() const { return tree_.get(); }
    EditorArea* editor() const { return editor_.get(); }
    TForm5* form5() const { return form5_.get(); }
    BulkArea* bulk() const { return bulk_.get(); }
    MovesArea* moves() const { return moves_.get(); }
    ProblemsArea* problems() const { return problems_.get(); }
    UndoArea* undo() const { return undo_.get(); }
    print::PrintArea* printing() const { return print_.get(); }
    spell::Checker* spellChecker() const { return spell_.get(); }
    Session& session() { return session_; }

  private:
    bool offerAnotherDatabase(const QString& failure);
    void startOn(const QString& path);
    void createForm1();
    void createForm5();
    bool createDatMod();
    void createForm4();
    void createAboutBox();
    void createForm9();
    void connectAreas();
    void showStep();

    QString startDatabase_;  // absolute; empty: test.mdb in the working directory
    Session session_;
    spell::Dictionary dictionary_ = spell::Dictionary::russian();
    // Outlives the windows and areas, whose text boxes and check use it.
    std::unique_ptr<spell::Checker> spell_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm5> form5_;
    std::unique_ptr<TDatMod> datMod_;
    std::unique_ptr<TAboutBox> aboutBox_;
    std::unique_ptr<TForm9> form9_;
    // The areas that work on the main window's controls and the data module.
    std::unique_ptr<TopicTree> tree_;
    std::unique_ptr<EditorArea> editor_;
    std::unique_ptr<BulkArea> bulk_;
    std::unique_ptr<MovesArea> moves_;
    std::unique_ptr<ProblemsArea> problems_;
    std::unique_ptr<UndoArea> undo_;
    std::unique_ptr<print::PrintArea> print_;
};

}  // namespace zn
