// The topic commands: add, rename, delete with renumbering.
#include "editor/topiccommands.h"

#include "jet/error.h"
#include "store/tdatmod.h"
#include "store/values.h"

namespace zn {

namespace {

[[noreturn]] void refuse(const QString& message) {
    throw jet::Error(jet::ErrorKind::Constraint, message.toStdString());
}

}  // namespace

TopicCommands::TopicCommands(TDatMod& dm, Feedback& feedback, std::function<void()> treeObnov)
    : dm_(dm), fb_(feedback), treeObnov_(std::move(treeObnov)) {}

int TopicCommands::topicCount() const {
    return dm_.qrtema.isOpen() ? dm_.qrtema.recordCount() : 0;
}

QString TopicCommands::whyNoNewTopic() const {
    if (topicCount() < kMaxTopics) return {};
    return zn::tooManyTopicsMessage(topicCount());
}

QString TopicCommands::checkName(const QString& name) {
    if (name.isEmpty()) return QStringLiteral("Не заполнено название темы");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("Название темы длиннее %1 символов (в нём %2)")
            .arg(kMaxNameLength)
            .arg(name.size());
    return {};
}

void TopicCommands::rebuildTree() {
    if (treeObnov_) treeObnov_();
}

void TopicCommands::addTopic(int number, const QString& name) {
    if (QString why = checkName(name); !why.isEmpty()) refuse(why);
    if (QString why = whyNoNewTopic(); !why.isEmpty()) refuse(why);
    dm_.write(QStringLiteral("добавление темы %1").arg(number), [&] {
        dm_.qrtema.insert();
        dm_.qrtema.setInteger("numtema", number);
        dm_.qrtema.setString("tema", name);
        dm_.qrtema.setInteger("kolvopr", 0);
        dm_.qrtema.post();
    });
    rebuildTree();
}

void TopicCommands::renameTopic(const QString& name) {
    if (QString why = checkName(name); !why.isEmpty()) refuse(why);
    if (!dm_.qrtema.isOpen() || dm_.qrtema.recNo() == 0) return;
    dm_.write(QStringLiteral("переименование темы %1").arg(dm_.qrtema.asInteger("numtema")), [&] {
        dm_.qrtema.edit();
        dm_.qrtema.setString("tema", name);
        dm_.qrtema.post();
    });
    rebuildTree();
}

void TopicCommands::deleteTopic() {
    if (topicCount() == 0) return;
    dm_.write(QStringLiteral("удаление темы %1").arg(dm_.qrtema.asInteger("numtema")), [&] {
        fb_.status(QStringLiteral("Удаление темы"));
        DeleteTema();
        fb_.status(QStringLiteral("Обновление базы"));
        BazaObnv();
        dm_.recountQuestions();
    });
    fb_.status(QStringLiteral("Обновление дерева"));
    rebuildTree();
    fb_.status(QString());
}

void TopicCommands::DeleteTema() {
    TDatMod::WriteScope scope(dm_);
    const int questions = dm_.qrvoprosi.isOpen() ? dm_.qrvoprosi.recordCount() : 0;
    if (questions > 0) {
        fb_.progressPosition(0);
        fb_.progressMax(questions);
        dm_.qrvoprosi.first();
        while (dm_.qrvoprosi.recordCount() > 0) {
            // Moving the questions re-queries the answers of the question it lands on.
            while (dm_.qrotveti.isOpen() && dm_.qrotveti.recordCount() > 0) {
                dm_.qrotveti.first();
                dm_.qrotveti.remove();
            }
            dm_.qrvoprosi.remove();
            fb_.progressStep();
        }
    }
    dm_.qrtema.remove();
    fb_.progressPosition(0);
    scope.commit();
}

void TopicCommands::BazaObnv() {
    if (topicCount() == 0) return;
    TDatMod::WriteScope scope(dm_);
    fb_.progressPosition(0);
    fb_.progressMax(topicCount());
    // The topics in ascending order of their old numbers; qrtema keeps that order while they
    // are renumbered, since a topic's new number never exceeds its old one.
    int n = 1;
    for (dm_.qrtema.first(); !dm_.qrtema.eof(); dm_.qrtema.next(), ++n) {
        RenameTema(n);
        fb_.progressStep();
    }
    fb_.progressPosition(0);
    scope.commit();
}

void TopicCommands::RenameTema(int n) {
    TDatMod::WriteScope scope(dm_);
    // The questions were opened for the topic's old number when the topic became current.
    if (dm_.qrvoprosi.isOpen()) {
        TDatMod::AnswersPaused paused(dm_);
        for (dm_.qrvoprosi.first(); !dm_.qrvoprosi.eof(); dm_.qrvoprosi.next()) {
            dm_.qrvoprosi.edit();
            dm_.qrvoprosi.setInteger("idtest", n);
            dm_.qrvoprosi.post();
        }
        paused.end();
    }
    dm_.qrtema.edit();
    dm_.qrtema.setInteger("numtema", n);
    dm_.qrtema.post();
    scope.commit();
}

}  // namespace zn
