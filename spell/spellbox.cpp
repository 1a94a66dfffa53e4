// Wiring a text box to the spell checker: the highlighter fed with where the person types, and
// the context menu.
#include "spell/spellbox.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "spell/checker.h"
#include "spell/highlighter.h"
#include "spell/words.h"

namespace zn::spell {

namespace {

// Changes of at most this many characters at the cursor are typing; larger ones (a paste, a
// new text) are checked at once.
constexpr int kTypedChars = 2;
constexpr int kMaxSuggestions = 8;

// Shows the box's menu with the spelling actions for a context menu event on the box or on its
// viewport (the mouse's events come to the viewport, the menu key's to the box).
class MenuFilter : public QObject {
  public:
    MenuFilter(QPlainTextEdit* box, Checker& checker) : QObject(box), box_(box), checker_(checker) {
        box->installEventFilter(this);
        box->viewport()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ContextMenu) return false;
        auto* e = static_cast<QContextMenuEvent*>(event);
        const QPoint viewportPos =
            watched == box_->viewport() ? e->pos() : box_->viewport()->mapFrom(box_, e->pos());
        QMenu* menu = box_->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        addSpellActions(*menu, *box_, checker_, viewportPos);
        menu->popup(e->globalPos());
        return true;
    }

  private:
    QPlainTextEdit* box_;
    Checker& checker_;
};

}  // namespace

SpellHighlighter* attachSpellChecking(QPlainTextEdit* box, Checker& checker) {
    auto* highlighter = new SpellHighlighter(checker, box);
    QTextDocument* document = box->document();
    // Connected before the highlighter is installed, so that it runs before the highlighter
    // looks at the changed block.
    QObject::connect(document, &QTextDocument::contentsChange, highlighter,
                     [box, highlighter](int position, int removed, int added) {
                         const bool typed = removed + added <= kTypedChars &&
                                            box->textCursor().position() == position + added;
                         highlighter->setTypingPosition(typed ? position + added : -1);
                     });
    highlighter->setDocument(document);
    QObject::connect(highlighter, &SpellHighlighter::refreshed, box->viewport(),
                     qOverload<>(&QWidget::update));
    // Now rather than after the next event (setDocument's way), and quietly.
    highlighter->refresh();
    QObject::connect(box, &QPlainTextEdit::cursorPositionChanged, highlighter, [box, highlighter] {
        highlighter->cursorMovedTo(box->textCursor().position());
    });
    new MenuFilter(box, checker);
    return highlighter;
}

bool addSpellActions(QMenu& menu, QPlainTextEdit& box, Checker& checker, QPoint viewportPos) {
    const QTextCursor at = box.cursorForPosition(viewportPos);
    const QTextBlock block = at.block();
    const QString text = block.text();
    const std::vector<WordSpan> spans = wordSpans(text);
    const WordSpan* span = spanAt(spans, at.positionInBlock());
    if (!span) return false;
    const QString word = text.mid(span->start, span->length);
    if (!checker.isMisspelled(word)) return false;

    QAction* first = menu.actions().isEmpty() ? nullptr : menu.actions().first();
    QList<QAction*> added;
    if (!box.isReadOnly()) {
        const QStringList suggestions = checker.suggestions(word, kMaxSuggestions);
        for (const QString& s : suggestions) {
            auto* action = new QAction(s, &menu);
            action->setObjectName(QStringLiteral("SpellSuggestion"));
            QFont bold = action->font();
            bold.setBold(true);
            action->setFont(bold);
            const int start = block.position() + span->start;
            const int end = start + span->length;
            QPlainTextEdit* target = &box;
            QObject::connect(action, &QAction::triggered, target, [target, start, end, s] {
                QTextCursor c(target->document());
                c.setPosition(start);
                c.setPosition(end, QTextCursor::KeepAnchor);
                c.beginEditBlock();
                c.insertText(s);
                c.endEditBlock();
                target->setTextCursor(c);
            });
            added << action;
        }
        if (suggestions.isEmpty()) {
            auto* none = new QAction(QStringLiteral("Нет вариантов"), &menu);
            none->setObjectName(QStringLiteral("SpellNoSuggestions"));
            none->setEnabled(false);
            added << none;
        }
    }
    auto* add = new QAction(QStringLiteral("Добавить в словарь"), &menu);
    add->setObjectName(QStringLiteral("SpellAddWord"));
    Checker* c = &checker;
    QObject::connect(add, &QAction::triggered, c, [c, word] { c->addPersonalWord(word); });
    added << add;
    menu.insertActions(first, added);
    if (first) menu.insertSeparator(first);
    return true;
}

}  // namespace zn::spell
