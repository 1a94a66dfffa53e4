// The topic dialog.
#include "editor/tform4.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "editor/topiccommands.h"
#include "frame/formstyle.h"
#include "frame/guard.h"
#include "frame/modal.h"

namespace zn {

TForm4::TForm4(TopicCommands& commands, QWidget* parent) : QDialog(parent), commands_(commands) {
    setObjectName(QStringLiteral("Form4"));
    setFont(formFont());
    // A fixed dialog with the close box only.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(kClientWidth, kClientHeight);

    Label1 = new QLabel(QStringLiteral("Тема № "), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setGeometry(12, 21, 52, 13);

    lbTema = new QLabel(this);
    lbTema->setObjectName(QStringLiteral("lbTema"));
    QFont number = bold;
    number.setPixelSize(13);
    lbTema->setFont(number);
    QPalette blue = lbTema->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    lbTema->setPalette(blue);
    lbTema->setGeometry(68, 19, 17, 16);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(92, 16, 329, 21);

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                              QStringLiteral("OK"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(178, 52, 75, 25);
    BitBtn2->setAutoDefault(false);
    BitBtn2->setDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { runGuarded([this] { BitBtn2Click(); }); });

    setTabOrder(Edit1, BitBtn2);
}

TForm4::~TForm4() = default;

void TForm4::BitBtn2Click() {
    const QString name = Edit1->text();
    if (const QString why = TopicCommands::checkName(name); !why.isEmpty()) {
        Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"), why);
        return;
    }
    if (TopicDialogMode.edit == 1) {
        commands_.renameTopic(name);
        accept();
    } else if (TopicDialogMode.add == 1) {
        commands_.addTopic(lbTema->text().toInt(), name);
        accept();
    }
}

void TForm4::keyPressEvent(QKeyEvent* event) {
    // No default and no cancel button: Enter presses nothing; Escape closes the dialog as its
    // close box does, writing nothing.
    switch (event->key()) {
        case Qt::Key_Escape:
            event->accept();
            reject();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
}

}  // namespace zn
