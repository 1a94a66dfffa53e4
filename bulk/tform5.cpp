// The information records dialog.
#include "bulk/tform5.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

#include "frame/formstyle.h"
#include "frame/guard.h"

namespace zn {

namespace {

QPlainTextEdit* memo(QWidget* parent, const char* name, int top) {
    auto* m = new QPlainTextEdit(parent);
    m->setObjectName(QString::fromLatin1(name));
    m->setGeometry(176, top, 389, 35);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Tab moves on to the next control; Enter starts a new line.
    m->setTabChangesFocus(true);
    return m;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int top) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(16, top);
    l->adjustSize();
    return l;
}

QString asLines(const QString& stored) {
    QString s = stored;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    return s;
}

}  // namespace

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Информационные записи базы теста"));
    setFont(formFont());
    setBackground(this, panelColour());
    // A fixed dialog with the close box only.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(kClientWidth, kClientHeight);

    const auto& names = InfoRecords::labels();
    // Top to bottom: launch title, program title, date, name, description.
    Label1 = label(this, "Label1", names[0], 24);
    Memo1 = memo(this, "Memo1", 12);
    Label2 = label(this, "Label2", names[1], 64);
    Memo2 = memo(this, "Memo2", 52);
    Label5 = label(this, "Label5", names[4], 97);
    EdDate = new QLineEdit(this);
    EdDate->setObjectName(QStringLiteral("EdDate"));
    EdDate->setGeometry(176, 93, 389, 21);
    Label3 = label(this, "Label3", names[2], 132);
    Memo3 = memo(this, "Memo3", 120);
    Label4 = label(this, "Label4", names[3], 172);
    Memo4 = memo(this, "Memo4", 160);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                              QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(250, 216, 75, 25);
    // The default button: Enter in EdDate presses it.
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { runGuarded([this] { BitBtn1Click(); }); });

    setTabOrder(Memo1, BitBtn1);
    setTabOrder(BitBtn1, Memo2);
    setTabOrder(Memo2, Memo3);
    setTabOrder(Memo3, Memo4);
    setTabOrder(Memo4, EdDate);
}

TForm5::~TForm5() = default;

void TForm5::setValues(const Values& v) {
    Memo1->setPlainText(asLines(v[0]));
    Memo2->setPlainText(asLines(v[1]));
    Memo3->setPlainText(asLines(v[2]));
    Memo4->setPlainText(asLines(v[3]));
    EdDate->setText(v[4]);
}

TForm5::Values TForm5::values() const {
    return {Memo1->toPlainText(), Memo2->toPlainText(), Memo3->toPlainText(), Memo4->toPlainText(),
            EdDate->text()};
}

void TForm5::BitBtn1Click() {
    if (save) save(values());
    accept();
}

void TForm5::keyPressEvent(QKeyEvent* event) {
    // No cancel button: Escape does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Memo1->setFocus();
    centreOnScreen(this);
}

}  // namespace zn
