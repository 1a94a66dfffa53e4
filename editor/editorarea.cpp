// Wiring the editing commands to the main window.
#include "editor/editorarea.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include "editor/questioncommands.h"
#include "editor/questioneditor.h"
#include "editor/tform4.h"
#include "editor/topiccommands.h"
#include "frame/areawindow.h"
#include "frame/modal.h"
#include "store/tdatmod.h"

namespace zn {

EditorArea::EditorArea(AreaWindow& form, TDatMod& dm, QObject* parent)
    : QObject(parent), form_(form), dm_(dm) {
    topics_ = std::make_unique<TopicCommands>(dm_, form_.feedback(), [this] { form_.TreeObnov(); });
    form4_ = std::make_unique<TForm4>(*topics_);
    form_.setCommand(Command::AddTopic, [this] { Buttem1Click(); });
    form_.setCommand(Command::EditTopic, [this] { Buttem2Click(); });
    form_.setCommand(Command::DeleteTopic, [this] { Buttem3Click(); });

    questions_ =
        std::make_unique<QuestionCommands>(dm_, form_.feedback(), [this] { form_.TreeObnov(); });
    questionEditor_ = new QuestionEditor(form_, *questions_);
    form_.setCommand(Command::AddQuestion, [this] { Butvop1Click(); });
    form_.setCommand(Command::EditQuestion, [this] { Butvop2Click(); });
    form_.setCommand(Command::DeleteQuestion, [this] { N6Click(); });
}

EditorArea::~EditorArea() = default;

void EditorArea::Buttem1Click() {
    if (const QString why = topics_->whyNoNewTopic(); !why.isEmpty()) {
        Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"), why);
        return;
    }
    form4_->TopicDialogMode = {0, 1};
    form4_->setWindowTitle(QStringLiteral("Добавление темы"));
    form4_->lbTema->setText(QString::number(topics_->nextTopicNumber()));
    form4_->Edit1->clear();
    Modal::exec(*form4_);
}

void EditorArea::Buttem2Click() {
    if (topics_->topicCount() == 0 || dm_.qrtema.recNo() == 0) return;
    form4_->TopicDialogMode = {1, 0};
    form4_->setWindowTitle(QStringLiteral("Редактирование темы"));
    form4_->lbTema->setText(QString::number(dm_.qrtema.asInteger("numtema")));
    form4_->Edit1->setText(dm_.qrtema.asString("tema"));
    Modal::exec(*form4_);
}

void EditorArea::Buttem3Click() {
    // The first status panel stays empty after a topic's deletion.
    topics_->deleteTopic();
}

void EditorArea::sayDeleted(const QString& what) {
    form_.setStatusText(what + QStringLiteral(". Отменить: Ctrl+Z"));
}

bool EditorArea::questionSelected() const {
    const QTreeWidgetItem* node = form_.treeDb() ? form_.treeDb()->currentItem() : nullptr;
    return node && node->parent();
}

void EditorArea::Butvop1Click() {
    questionEditor_->Butvop1Click();
}

void EditorArea::Butvop2Click() {
    if (questionSelected()) questionEditor_->Butvop2Click();
}

void EditorArea::N6Click() {
    BitDelVopClick();
}

void EditorArea::BitDelVopClick() {
    if (!questionSelected()) return;
    const QString what = QStringLiteral("Вопрос %1 темы %2 удалён")
                             .arg(dm_.qrvoprosi.asInteger("idvopr"))
                             .arg(dm_.qrvoprosi.asInteger("idtest"));
    const int entries = dm_.history.size();
    const QString label = dm_.history.undoLabel();
    questions_->deleteQuestion();
    if (dm_.history.size() != entries || dm_.history.undoLabel() != label) sayDeleted(what);
}

void EditorArea::TrBarChange() {
    questionEditor_->TrBarChange();
}

void EditorArea::clearEdImage() {
    questionEditor_->clearEdImage();
}

void EditorArea::showAnswersPanel() {
    questionEditor_->showAnswersPanel();
}

}  // namespace zn
