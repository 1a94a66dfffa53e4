// About window: fixed layout at the positions the program has always used.
#include "taboutbox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "formstyle.h"
#include "imagelist.h"

namespace zn {

namespace {

// The maker's web site and e-mail address are not settled yet; these say so. They are kept short
// enough to fit between their captions and the panel's right edge.
const char16_t kWebSite[] = u"https://zn.example (заглушка)";
const char16_t kEmail[] = u"info@zn.example (заглушка)";

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
    setFixedSize(kClientWidth, kClientHeight);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);

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
    addLabel(panel, "Label3", QStringLiteral("Сайт программы : "), 8, 144, false);
    addLabel(panel, "WebSite", QString::fromUtf16(kWebSite), 132, 144, true);
    addLabel(panel, "Label4", QStringLiteral("Электронная почта : "), 8, 164, false);
    addLabel(panel, "Email", QString::fromUtf16(kEmail), 132, 164, true);
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
