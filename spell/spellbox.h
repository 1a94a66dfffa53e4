// Spell checking in a text box: the underlining as the person types, and the box's context menu
// with corrections for the word under the mouse and "Добавить в словарь".
#pragma once

#include <QPoint>

class QMenu;
class QPlainTextEdit;

namespace zn::spell {

class Checker;
class SpellHighlighter;

// Installs spell checking on `box`: a SpellHighlighter on its document that leaves the word
// being typed alone until the cursor leaves it, and its context menu (the box's standard menu
// with addSpellActions() on top, for the mouse's right button and the keyboard's menu key).
// Returns the highlighter, owned by the box.
// REQUIRES: `checker` outlives `box`; called once per box. A box whose document is replaced
// (setDocument) later keeps the old document's highlighter.
SpellHighlighter* attachSpellChecking(QPlainTextEdit* box, Checker& checker);

// Puts what spelling offers for the word at `viewportPos` (coordinates of the box's viewport)
// at the top of `menu`, followed by a separator: when the word is misspelled, up to 8
// corrections (objectName "SpellSuggestion"; each replaces the word, as one step of the box's
// undo) or a disabled "Нет вариантов" when Hunspell has none, then "Добавить в словарь"
// (objectName "SpellAddWord"). A read-only box gets no corrections. Adds nothing for a correct
// word, or where there is no word. Returns whether anything was added.
bool addSpellActions(QMenu& menu, QPlainTextEdit& box, Checker& checker, QPoint viewportPos);

}  // namespace zn::spell
