// Production side of the modal seam (real Qt dialogs) and the scripted responder for tests.
#include "frame/modal.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QWindow>
#include <utility>
#include <vector>

namespace zn {

namespace {

ModalResponder& responder() {
    static ModalResponder r;
    return r;
}

QMessageBox::Icon qtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Stop:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

unsigned firstButton(unsigned buttons) {
    for (unsigned b : {Ok, Cancel, Yes, No})
        if (buttons & b) return b;
    return Ok;
}

// Dialogs get a parent so that the window manager keeps them in front of the program's windows:
// the open modal window, else the active window, else the program's visible main window. A
// popup (a menu, a tooltip) is never one: it goes away and would take the dialog with it, and
// without any parent (the program not active, as after synthetic key events from another
// program) a window manager may put the dialog behind the main window, where it is never seen.
QWidget* dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible() &&
        !(active->windowType() == Qt::Popup || active->windowType() == Qt::ToolTip))
        return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<QMainWindow*>(w)) return w;
    return nullptr;
}

}  // namespace

QString appTitle() {
    return QStringLiteral("Знатокар");
}

unsigned Modal::message(MsgIcon icon, const QString& caption, const QString& text,
                        unsigned buttons) {
    if (buttons == NoButton) buttons = Ok;
    if (responder()) {
        ModalRequest req;
        req.kind = ModalRequest::Kind::Message;
        req.caption = caption;
        req.text = text;
        req.icon = icon;
        req.buttons = buttons;
        return responder()(req).button;
    }
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::NoButton, dialogParent());
    const std::pair<unsigned, QMessageBox::StandardButton> map[] = {
        {Ok, QMessageBox::Ok},
        {Cancel, QMessageBox::Cancel},
        {Yes, QMessageBox::Yes},
        {No, QMessageBox::No},
    };
    for (const auto& [ours, qt] : map)
        if (buttons & ours) box.addButton(qt);
    box.setDefaultButton(
        box.buttons().isEmpty() ? nullptr : qobject_cast<QPushButton*>(box.buttons().first()));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [ours, qt] : map)
        if (clicked && box.standardButton(clicked) == qt) return ours;
    // Closed with Escape or the title bar: the cancel-like button, else the only one.
    if (buttons & Cancel) return Cancel;
    if (buttons & No) return No;
    return firstButton(buttons);
}

int Modal::choose(MsgIcon icon, const QString& caption, const QString& text,
                  const QStringList& choices) {
    if (choices.isEmpty()) return -1;
    if (responder()) {
        ModalRequest req;
        req.kind = ModalRequest::Kind::Choice;
        req.caption = caption;
        req.text = text;
        req.icon = icon;
        req.choices = choices;
        return responder()(req).result;
    }
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::NoButton, dialogParent());
    std::vector<QPushButton*> buttons;
    for (const QString& c : choices) buttons.push_back(box.addButton(c, QMessageBox::ActionRole));
    box.setDefaultButton(buttons.front());
    box.setEscapeButton(buttons.back());
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return int(i);
    return int(choices.size()) - 1;
}

void Modal::error(const QString& text) {
    message(MsgIcon::Stop, appTitle(), text, Ok);
}

void Modal::plain(const QString& text) {
    message(MsgIcon::None, appTitle(), text, Ok);
}

QString Modal::qtFilter(const QString& pairFilter) {
    const QStringList parts = pairFilter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString desc = parts[i].trimmed();
        const QString patterns = i + 1 < parts.size() ? parts[i + 1] : QString();
        QStringList list;
        for (const QString& p : patterns.split(u';', Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (!t.isEmpty() && !list.contains(t)) list << t;
        }
        if (list.isEmpty()) list << QStringLiteral("*");
        // Drop a trailing "(...)" from the description: we write our own, blank-separated.
        if (desc.endsWith(u')')) {
            const qsizetype open = desc.lastIndexOf(u'(');
            if (open >= 0) desc = desc.left(open).trimmed();
        }
        out << (desc.isEmpty() ? QString() : desc + u' ') + u'(' + list.join(u' ') + u')';
    }
    return out.join(QStringLiteral(";;"));
}

static QString fileDialog(ModalRequest::Kind kind, const QString& caption, const QString& folder,
                          const QString& filter) {
    if (responder()) {
        ModalRequest req;
        req.kind = kind;
        req.caption = caption;
        req.folder = folder;
        req.filter = filter;
        return responder()(req).path;
    }
    const QString qf = Modal::qtFilter(filter);
    if (kind == ModalRequest::Kind::OpenFile)
        return QFileDialog::getOpenFileName(dialogParent(), caption, folder, qf);
    return QFileDialog::getSaveFileName(dialogParent(), caption, folder, qf);
}

QString Modal::openFile(const QString& caption, const QString& folder, const QString& filter) {
    return fileDialog(ModalRequest::Kind::OpenFile, caption, folder, filter);
}

QString Modal::saveFile(const QString& caption, const QString& folder, const QString& filter) {
    return fileDialog(ModalRequest::Kind::SaveFile, caption, folder, filter);
}

int Modal::exec(QDialog& window) {
    if (responder()) {
        ModalRequest req;
        req.kind = ModalRequest::Kind::Window;
        req.caption = window.windowTitle();
        req.text = window.objectName();
        req.window = &window;
        return responder()(req).result;
    }
    // A window of the program's own (created without a parent) is made the active window's
    // dialog for the window system: it stays in front of it and is framed as a dialog.
    QWidget* owner = dialogParent();
    if (!window.parentWidget() && owner && owner != &window) {
        window.winId();
        if (QWindow* handle = window.windowHandle())
            handle->setTransientParent(owner->window()->windowHandle());
    }
    return window.exec();
}

ModalResponder Modal::setResponder(ModalResponder r) {
    return std::exchange(responder(), std::move(r));
}

ScriptedModal::ScriptedModal() {
    previous_ = Modal::setResponder([this](const ModalRequest& req) {
        if (onRequest) onRequest(req);
        ModalRequest rec = req;
        rec.window = nullptr;
        calls_.push_back(rec);
        if (!answers_.empty()) {
            ModalAnswer a = answers_.front();
            answers_.pop_front();
            return a;
        }
        ModalAnswer a;
        a.button = firstButton(req.buttons);
        a.result = req.kind == ModalRequest::Kind::Choice ? int(req.choices.size()) - 1 : 0;
        return a;
    });
}

ScriptedModal::~ScriptedModal() {
    Modal::setResponder(std::move(previous_));
}

}  // namespace zn
