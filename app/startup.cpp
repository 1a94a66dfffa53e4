// Start-up sequence, the main window's show step and the run of the program.
#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "bulk/bulkarea.h"
#include "bulk/tform5.h"
#include "editor/editorarea.h"
#include "frame/guard.h"
#include "frame/imagelist.h"
#include "frame/modal.h"
#include "frame/taboutbox.h"
#include "frame/tform1.h"
#include "frame/tform9.h"
#include "preview/datafiles.h"
#include "print/printarea.h"
#include "problems/problemsarea.h"
#include "store/bankfile.h"
#include "store/tdatmod.h"
#include "tree/movesarea.h"
#include "tree/topictree.h"
#include "undo/undoarea.h"

namespace zn {

StartArguments StartArguments::parse(const QStringList& arguments) {
    StartArguments a;
    if (arguments.size() > 1 || (arguments.size() == 1 && arguments[0].isEmpty())) {
        a.ok = false;
        return a;
    }
    if (!arguments.isEmpty()) a.database = arguments[0];
    return a;
}

QString StartArguments::usage() {
    return QStringLiteral(
        "Usage: znatokar [DATABASE.mdb]\n"
        "Without an argument the editor opens test.mdb in the working folder and takes pictures\n"
        "from its data folder; with one, it opens that file and takes pictures from the data\n"
        "folder beside it.\n");
}

Program::Program(const QString& startDatabase)
    : startDatabase_(startDatabase.isEmpty() ? QString()
                                             : QFileInfo(startDatabase).absoluteFilePath()) {}

Program::~Program() {
    setFailureCleanup(nullptr);
    print_.reset();
    undo_.reset();
    moves_.reset();
    bulk_.reset();
    editor_.reset();
    // The tree listens to the main window's tree view and the main window refers to all the
    // others: they go first, so that taking the windows down reaches no handler.
    tree_.reset();
    form1_.reset();
}

bool Program::create() {
    spell_ = std::make_unique<spell::Checker>(dictionary_);
    createForm1();
    createForm5();
    if (!createDatMod()) return false;
    createForm4();
    createAboutBox();
    createForm9();
    connectAreas();
    return true;
}

void Program::createForm1() {
    // Named before the main window is created, so that its creation step finds DataFolder
    // beside it.
    if (!startDatabase_.isEmpty()) session_.databasePath = startDatabase_;
    form1_ = std::make_unique<TForm1>(session_);
}

// The test information dialog; the bulk area that fills and saves it comes with the other areas.
void Program::createForm5() {
    form5_ = std::make_unique<TForm5>();
}

bool Program::createDatMod() {
    datMod_ = std::make_unique<TDatMod>();
    for (;;) {
        QString failure;
        try {
            if (startDatabase_.isEmpty()) {
                datMod_->connectDefault();
            } else {
                // What connectDefault does, on the named file.
                datMod_->connectTo(startDatabase_);
                datMod_->tbSettings.open();
                datMod_->TbTema.open();
            }
            return true;
        } catch (...) {
            failure = currentExceptionMessage();
        }
        datMod_->Conn.close();
        if (!offerAnotherDatabase(failure)) break;
    }
    datMod_.reset();
    return false;
}

// The database to start on cannot be used: says why and what can be done, and lets the person
// open another file or, when the file is missing, create an empty test database in its place.
// Returns false when the person chose to end the program.
bool Program::offerAnotherDatabase(const QString& failure) {
    const QString path = startDatabase_.isEmpty()
                             ? QDir::current().filePath(QStringLiteral("test.mdb"))
                             : startDatabase_;
    QString why = zn::whyNotATestBank(path);
    if (why.isEmpty()) why = errorReportText(failure);
    const bool missing = !QFileInfo::exists(path);
    QStringList choices{QStringLiteral("Открыть другую базу…")};
    if (missing) choices << QStringLiteral("Создать новую пустую базу");
    choices << QStringLiteral("Выход");
    const QString text =
        why + (missing ? QStringLiteral("\n\nМожно открыть другую базу теста или создать новую "
                                        "пустую базу %1 и наполнить её.")
                             .arg(QFileInfo(path).fileName())
                       : QStringLiteral("\n\nМожно открыть другую базу теста."));
    const int choice = Modal::choose(MsgIcon::Exclamation, appTitle(), text, choices);
    if (choice == 0) {
        const QString chosen = Modal::openFile(QString(), QDir::currentPath(),
                                               QString::fromUtf16(TForm1::kDatabaseFilter));
        if (chosen.isEmpty()) return true;  // asked again
        startOn(chosen);
        return true;
    }
    if (missing && choice == 1) {
        if (runGuarded([&] { zn::createEmptyTestBank(path); })) startOn(path);
        return true;
    }
    return false;
}

// From now on the program starts on `path`, with the pictures in the data folder beside it.
void Program::startOn(const QString& path) {
    startDatabase_ = QFileInfo(path).absoluteFilePath();
    session_.databasePath = startDatabase_;
    session_.dataFolder = dataFolderIn(QFileInfo(startDatabase_).absolutePath());
}

// The topic name dialog, with the editor area that owns it.
void Program::createForm4() {
    editor_ = std::make_unique<EditorArea>(*form1_, *datMod_);
}

void Program::createAboutBox() {
    aboutBox_ = std::make_unique<TAboutBox>();
}

void Program::createForm9() {
    form9_ = std::make_unique<TForm9>();
}

// Wires the windows, the data module and the areas together. The tree gets the main window's
// controls and answers its hooks startupTreeBuild and treeObnov; the editor area answers
// trBarChange and the tree's editor-page callbacks (clearEdImage, showAnswersPanel).
void Program::connectAreas() {
    TForm1* form = form1_.get();
    form->setDataModule(datMod_.get());
    form->setAboutBox(aboutBox_.get());
    form->setPictureWindow(form9_.get());
    form->setShowStep([this] { showStep(); });
    QObject::connect(datMod_.get(), &TDatMod::topicsEmptied, form,
                     [form] { form->loadPreview(QString()); });
    QObject::connect(form, &TForm1::closed, qApp, [] { QCoreApplication::quit(); });
    // Another program replaced or changed the bank under a command: once that command's error
    // has been shown, the tree shows the file as it is now.
    QObject::connect(
        datMod_.get(), &TDatMod::reopenedAfterOthersChanged, form, [form] { form->TreeObnov(); },
        Qt::QueuedConnection);

    TreeControls c;
    c.treeDb = form->treeDb();
    c.progBar1 = form->progBar1();
    c.popupMenu1 = form->popupMenu1();
    c.popupMenu2 = form->popupMenu2();
    c.setTreePopup = [form](QMenu* menu) { form->setTreePopup(menu); };
    c.buttem = {form->buttem1(), form->buttem2(), form->buttem3()};
    c.butvop = {form->butvop1(), form->butvop2(), form->butvop3()};
    c.loadPreview = [form](const QString& html) { form->loadPreview(html); };
    c.setStatusText = [form](const QString& text) { form->setStatusText(text); };
    c.repaintStatus = [form] { form->repaintStatus(); };
    c.image = [](int index) { return ImageList::icon(index); };
    c.runGuarded = [](const std::function<void()>& handler) { runGuarded(handler); };
    c.editingAllowed = [form] { return form->editingEnabled(); };
    EditorArea* editor = editor_.get();
    c.clearEdImage = [editor] { editor->clearEdImage(); };
    c.showAnswersPanel = [editor] { editor->showAnswersPanel(); };
    form->hooks().trBarChange = [editor] { editor->TrBarChange(); };
    tree_ = std::make_unique<TopicTree>(*datMod_, session_, std::move(c));
    TDatMod* dm = datMod_.get();
    setFailureCleanup([dm]() -> QString {
        dm->cancelPendingEdits();
        // A command that failed because another program replaced or cut the file (a read past
        // its new end, say) is reported for what happened, and the bank shown as it is now.
        try {
            if (dm->reopenIfChangedByOthers()) return dm->changedByOthersMessage();
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    });
    form->hooks().startupTreeBuild = [this] { tree_->startupBuild(); };
    form->hooks().treeObnov = [this] { tree_->TreeObnov(); };
    form->hooks().treeDbChange = [this](QTreeWidgetItem* node) { tree_->TreeDbChange(node); };
    form->hooks().selectionCommands = [this] { tree_->updateCommands(); };
    bulk_ = std::make_unique<BulkArea>(*form1_, *datMod_, *form5_);
    moves_ = std::make_unique<MovesArea>(*form1_, *datMod_);
    // The problem panel and the search follow the tree's rebuilds: after the tree's hooks.
    problems_ = std::make_unique<ProblemsArea>(*form1_, *datMod_);
    undo_ = std::make_unique<UndoArea>(*form1_, *datMod_);
    // Printing takes the topic the tree's selection stands on.
    print_ = std::make_unique<print::PrintArea>(*datMod_, session_, *form1_, [dm] {
        std::vector<qint64> topics;
        if (dm->qrtema.isOpen() && dm->qrtema.recNo() > 0)
            topics.push_back(dm->qrtema.asInteger("numtema"));
        return topics;
    });
    form->addFileActions({print_->printAction(), print_->savePdfAction()});

    // Spelling: the question editor's boxes and the problem list's unknown words. Without a
    // dictionary the status bar says so once, after the show step has written it.
    spell::Checker* checker = spell_.get();
    editor_->enableSpellChecking(*checker);
    problems_->enableSpellChecking(*checker);
    auto sayIfUnavailable = [form, checker] {
        if (checker->state() == spell::Checker::State::Unavailable)
            form->setStatusText(checker->unavailableReason());
    };
    QMetaObject::invokeMethod(
        form,
        [checker, form, sayIfUnavailable] {
            if (checker->state() == spell::Checker::State::Loading)
                QObject::connect(checker, &spell::Checker::loaded, form, sayIfUnavailable,
                                 Qt::SingleShotConnection);
            else
                sayIfUnavailable();
        },
        Qt::QueuedConnection);
}

// The data part of the show step; TForm1 sets the tree's row height before it, hides the editor
// tab and runs TrBarChange after it.
void Program::showStep() {
    TDatMod& dm = *datMod_;
    session_.databasePath = startDatabase_.isEmpty()
                                ? QDir::current().filePath(QStringLiteral("test.mdb"))
                                : startDatabase_;
    dm.connectTo(session_.databasePath);
    dm.qrtema.open();
    dm.TbTema.close();
    dm.TbTema.open();
    dm.tbSettings.open();
    form1_->startupTreeBuild();
    form1_->announceAccessMode();
}

void Program::show() {
    form1_->show();
}

int Program::run() {
    if (!create()) return 1;
    show();
    return QApplication::exec();
}

}  // namespace zn
