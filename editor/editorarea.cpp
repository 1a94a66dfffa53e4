// Wiring the editing commands to the main window.
#include "editor/editorarea.h"

#include <QLabel>
#include <QLineEdit>

#include "editor/tform4.h"
#include "editor/topiccommands.h"
#include "modal.h"
#include "store/tdatmod.h"
#include "tform1.h"

namespace zn {

EditorArea::EditorArea(TForm1& form, TDatMod& dm, QObject* parent)
    : QObject(parent), form_(form), dm_(dm) {
    topics_ = std::make_unique<TopicCommands>(dm_, form_.feedback(), [this] { form_.TreeObnov(); });
    form4_ = std::make_unique<TForm4>(*topics_);
    form_.setCommand(TForm1::Command::AddTopic, [this] { Buttem1Click(); });
    form_.setCommand(TForm1::Command::EditTopic, [this] { Buttem2Click(); });
    form_.setCommand(TForm1::Command::DeleteTopic, [this] { Buttem3Click(); });
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
    topics_->deleteTopic();
}

}  // namespace zn
