// The red wavy underline under misspelled words of a text document, as the person types.
//
// A keystroke re-highlights the block it changed (QSyntaxHighlighter does only that), and the
// checker keeps every word's verdict, so a keystroke in a 2,000-character paragraph costs a
// split into words and a few hundred hash look-ups (bench/spell_bench.cpp).
#pragma once

#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCharFormat>

namespace zn::spell {

class Checker;

class SpellHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpellHighlighter)

  public:
    // A highlighter owned by `parent`, on no document yet (setDocument() installs it, so a
    // caller can connect to the document's signals before it). `checker` must outlive it; the
    // document is highlighted again when the checker's dictionary has loaded or its personal
    // word list has grown.
    SpellHighlighter(Checker& checker, QObject* parent);
    // Installs the highlighter on `document`, which becomes its owner.
    SpellHighlighter(Checker& checker, QTextDocument* document);

    // What a misspelled word gets: a red wave underline, nothing else changed.
    static QTextCharFormat misspelledFormat();

    // Highlights the whole document (one block) again as rehighlight() (rehighlightBlock())
    // does, but without the document announcing a change: QSyntaxHighlighter's own functions
    // make it emit contentsChanged, so a text box says textChanged though no character changed
    // (and an editor takes the question for edited). The document's layout still asks its views
    // to draw the lines again; refreshed() says so to anything else that shows the underlines.
    void refresh();
    void refreshBlock(const QTextBlock& block);

  signals:
    // refresh() or refreshBlock() has changed underlines: views of the document draw it again.
    void refreshed();

  public:
    // The word that holds document position `position` (just after its last letter counts) is
    // being typed and is not underlined while the text cursor stays in it; -1: no such word.
    // Takes effect at the next highlighting of its block.
    void setTypingPosition(int position);
    // The text cursor is at `position` now: when it has left the word being typed, the word's
    // block is highlighted again (so the word gets its underline if it needs one).
    void cursorMovedTo(int position);

  protected:
    void highlightBlock(const QString& text) override;

  private:
    Checker& checker_;
    int typingPosition_ = -1;
    // The word left without its underline (document positions), start -1: none.
    int heldStart_ = -1;
    int heldEnd_ = -1;
};

}  // namespace zn::spell
