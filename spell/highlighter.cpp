// Underlining misspelled words block by block.
#include "spell/highlighter.h"

#include <QSignalBlocker>
#include <QTextDocument>

#include "spell/checker.h"
#include "spell/words.h"

namespace zn::spell {

SpellHighlighter::SpellHighlighter(Checker& checker, QObject* parent)
    : QSyntaxHighlighter(parent), checker_(checker) {
    connect(&checker_, &Checker::loaded, this, &SpellHighlighter::refresh);
    connect(&checker_, &Checker::personalWordsChanged, this, &SpellHighlighter::refresh);
}

SpellHighlighter::SpellHighlighter(Checker& checker, QTextDocument* document)
    : SpellHighlighter(checker, static_cast<QObject*>(document)) {
    setDocument(document);
}

void SpellHighlighter::refresh() {
    if (!document()) return;
    {
        const QSignalBlocker quiet(document());
        rehighlight();
    }
    emit refreshed();
}

void SpellHighlighter::refreshBlock(const QTextBlock& block) {
    if (!document()) return;
    {
        const QSignalBlocker quiet(document());
        rehighlightBlock(block);
    }
    emit refreshed();
}

QTextCharFormat SpellHighlighter::misspelledFormat() {
    QTextCharFormat f;
    f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    f.setUnderlineColor(Qt::red);
    return f;
}

void SpellHighlighter::setTypingPosition(int position) {
    typingPosition_ = position;
}

void SpellHighlighter::cursorMovedTo(int position) {
    if (typingPosition_ < 0) return;
    if (heldStart_ >= 0 && position >= heldStart_ && position <= heldEnd_) return;
    typingPosition_ = -1;
    if (heldStart_ < 0 || !document()) return;
    const QTextBlock block = document()->findBlock(heldStart_);
    heldStart_ = heldEnd_ = -1;
    if (block.isValid()) refreshBlock(block);
}

void SpellHighlighter::highlightBlock(const QString& text) {
    const int blockStart = currentBlock().position();
    const int typing = typingPosition_ - blockStart;
    const bool typingHere = typingPosition_ >= 0 && typing >= 0 && typing <= text.size();
    if (typingHere) heldStart_ = heldEnd_ = -1;
    if (checker_.state() != Checker::State::Ready) return;
    const QTextCharFormat wrong = misspelledFormat();
    for (const WordSpan& s : wordSpans(text)) {
        if (typingHere && s.start < typing && typing <= s.end()) {
            heldStart_ = blockStart + s.start;
            heldEnd_ = blockStart + s.end();
            continue;
        }
        if (checker_.isMisspelled(QStringView(text).mid(s.start, s.length)))
            setFormat(s.start, s.length, wrong);
    }
}

}  // namespace zn::spell
