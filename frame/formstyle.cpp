// Shared window look and placement helpers.
#include "frame/formstyle.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace zn {

QFont formFont() {
    QFont font;
    // The windows lay their controls out at fixed positions, sized for captions in an 8-point
    // face of MS Sans Serif's width; Liberation Sans (Arial's metrics) comes closest where that
    // face is missing, and wider faces would be cut off.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

static QSize frameExtra(const QWidget* window) {
    return window->frameGeometry().size() - window->geometry().size();
}

bool setOuterSize(QWidget* window, QSize outer) {
    const QSize extra = frameExtra(window);
    window->resize(outer - extra);
    return !extra.isNull();
}

void setFixedDialogFrame(QWidget* dialog) {
    // CustomizeWindowHint: the window system gets exactly these buttons, not its defaults.
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize outer = window->size() + frameExtra(window);
    // move() places the frame's top-left corner of a top-level window.
    window->move(area.x() + (area.width() - outer.width()) / 2,
                 area.y() + (area.height() - outer.height()) / 2);
}

}  // namespace zn
