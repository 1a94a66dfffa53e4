// Picture window.
#include "frame/tform9.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "frame/formstyle.h"
#include "frame/modal.h"

namespace zn {

TForm9::TForm9(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("Изображение"));
    setFont(formFont());
    setFixedDialogFrame(this);
    setFixedSize(kClientWidth, kClientHeight);

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setScaledContents(true);  // the picture stretches to the control's bounds
    image1_->setGeometry(0, 0, 263, 170);
}

TForm9::~TForm9() = default;

QSize TForm9::shownSize(const QSize& picture, const QSize& room) {
    const QSize most(room.width() - kExtraWidth, room.height() - kExtraHeight);
    if (!room.isValid() || most.width() < 1 || most.height() < 1 ||
        (picture.width() <= most.width() && picture.height() <= most.height()))
        return picture;
    return picture.scaled(most, Qt::KeepAspectRatio);
}

int TForm9::showPicture(const QPixmap& picture) {
    // A picture larger than the screen is shown smaller, so that the whole window (its close
    // box above all) stays on the screen.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QSize size =
        shownSize(picture.size(), screen ? screen->availableGeometry().size() : QSize());
    image1_->setPixmap(picture);
    image1_->resize(size);
    outer_ = QSize(size.width() + kExtraWidth, size.height() + kExtraHeight);
    applyOuterSize();
    return Modal::exec(*this);
}

void TForm9::applyOuterSize() {
    // Fixed border: the window's size changes only here. Before the window was first on screen
    // the frame is unknown and the outer size is taken as the client size; event() refits.
    const QSize extra = frameGeometry().size() - geometry().size();
    outerFitted_ = !extra.isNull();
    setFixedSize(outer_ - extra);
}

bool TForm9::event(QEvent* event) {
    if (!outerFitted_ && outer_.isValid() &&
        (event->type() == QEvent::WindowActivate || event->type() == QEvent::Move) &&
        frameGeometry().size() != geometry().size()) {
        applyOuterSize();
        centreOnScreen(this);
    }
    return QDialog::event(event);
}

void TForm9::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
}

}  // namespace zn
