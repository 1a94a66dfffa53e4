// About window: fixed layout at the positions the program has always used.
#include "frame/taboutbox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "frame/formstyle.h"
#include "frame/imagelist.h"

namespace zn {

namespace {

// The program's home page and contact address, fixed when the program is built (ZN_HOMEPAGE_URL
// and ZN_CONTACT_EMAIL, see CMakeLists.txt). Empty unless given: the window then leaves out the
// line of each rather than show an address that is not the program's.
#ifndef ZN_HOMEPAGE_URL
#define ZN_HOMEPAGE_URL ""
#endif
#ifndef ZN_CONTACT_EMAIL
#define ZN_CONTACT_EMAIL ""
#endif

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                 bool blue) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    if (blue) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::blue);
        label->setPalette(pal);
    }
    label->move(left, top);
    label->adjustSize();
    return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setFont(formFont());
    setBackground(this, creamColour());
    setFixedDialogFrame(this);
    setFixedSize(kClientWidth, kClientHeight);

    // Lowered outer and raised inner bevel: Qt draws that as a sunken box.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setMidLineWidth(0);
    panel->setGeometry(8, 10, 291, 237);

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setGeometry(22, 26, 32, 32);
    icon->setPixmap(ImageList::appIcon().pixmap(32, 32));

    addLabel(panel, "Label1", QStringLiteral("Название программы:"), 74, 20, false);
    addLabel(panel, "ProductName", QStringLiteral("Знатокар"), 74, 38, true);
    addLabel(panel, "Label2", QStringLiteral("Назначение программы :"), 8, 78, false);
    QLabel* comments = addLabel(
        panel, "Comments",
        QStringLiteral("Создание, редактирование, добавление тестов для программы «Испытарь» "), 8,
        94, true);
    comments->setWordWrap(true);
    comments->setFixedWidth(265);
    comments->setFixedHeight(comments->heightForWidth(265));
    const QString webSite = QString::fromUtf8(ZN_HOMEPAGE_URL);
    if (!webSite.isEmpty()) {
        addLabel(panel, "Label3", QStringLiteral("Сайт программы : "), 8, 144, false);
        QLabel* link = addLabel(panel, "WebSite", webSite, 132, 144, true);
        link->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    const QString email = QString::fromUtf8(ZN_CONTACT_EMAIL);
    if (!email.isEmpty()) {
        addLabel(panel, "Label4", QStringLiteral("Электронная почта : "), 8, 164, false);
        QLabel* mail = addLabel(panel, "Email", email, 132, 164, true);
        mail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    addLabel(panel, "Label5", QStringLiteral("Версия :"), 98, 190, false);
    addLabel(panel, "Version", QStringLiteral("1.0"), 146, 190, true);
    addLabel(panel, "Copyright", QStringLiteral("2016"), 124, 212, true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setGeometry(117, 256, 75, 25);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
}

}  // namespace zn
