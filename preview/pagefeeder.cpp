// Showing a long page in steps.
#include "preview/pagefeeder.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include "preview/htmlview.h"

namespace zn {

namespace {

const QString kQuestionStart = QStringLiteral("<center><h3>Вопрос № ");

// A document parsed like the view's own (fonts and style sheet), not shown anywhere.
void parseLikeView(QTextDocument& doc, const QTextBrowser& view, const QString& html) {
    doc.setDefaultFont(view.document()->defaultFont());
    doc.setDefaultStyleSheet(view.document()->defaultStyleSheet());
    doc.setDocumentMargin(view.document()->documentMargin());
    doc.setHtml(htmlForView(html));
}

}  // namespace

PageFeeder::PageFeeder(QTextBrowser& view, QObject* parent) : QObject(parent), view_(view) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &PageFeeder::appendStep);
}

PageFeeder::~PageFeeder() = default;

QStringList PageFeeder::split(const QString& html) {
    QStringList parts;
    qsizetype from = 0;
    for (qsizetype at = html.indexOf(kQuestionStart, 1); at >= 0;
         at = html.indexOf(kQuestionStart, at + 1)) {
        parts << html.mid(from, at - from);
        from = at;
    }
    parts << html.mid(from);
    return parts;
}

void PageFeeder::show(const QString& html) {
    timer_.stop();
    parts_ = split(html);
    // The summary of a topic opens a <center> that it never closes: every question after the
    // heading lies inside it. The first part carries it; later steps repeat it.
    const qsizetype first = std::min<qsizetype>(kFirstQuestions + 1, parts_.size());
    if (first == parts_.size()) {
        parts_.clear();
        next_ = 0;
        view_.setHtml(htmlForView(html));
        return;
    }
    QString head;
    for (qsizetype i = 0; i < first; ++i) head += parts_[i];
    next_ = first;
    view_.setHtml(htmlForView(head));
    timer_.start();
}

void PageFeeder::appendStep() {
    appendParts(kQuestionsPerStep);
    if (pending()) timer_.start();
}

void PageFeeder::finish() {
    timer_.stop();
    appendParts(parts_.size());
}

void PageFeeder::appendParts(qsizetype count) {
    const qsizetype end = std::min(parts_.size(), next_ + count);
    if (next_ >= end) return;
    QString chunk;
    for (qsizetype i = next_; i < end; ++i) chunk += parts_[i];
    // The previous question gives the step its context: parsed behind it, the step's first
    // block gets the margins and alignment it has in the whole page. Only the step's own part
    // is appended.
    const QString context = QStringLiteral("<center>") + parts_[next_ - 1];
    QTextDocument before;
    parseLikeView(before, view_, context);
    const int start = before.characterCount() - 1;  // where the step's first block begins
    QTextDocument both;
    parseLikeView(both, view_, context + chunk);
    QTextCursor part(&both);
    part.setPosition(start);
    part.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    const QTextBlock firstBlock = both.findBlock(start);

    QTextCursor at(view_.document());
    at.movePosition(QTextCursor::End);
    at.beginEditBlock();
    at.setBlockFormat(firstBlock.blockFormat());
    at.setBlockCharFormat(firstBlock.charFormat());
    at.insertFragment(part.selection());
    at.endEditBlock();
    next_ = end;
    if (!pending()) {
        parts_.clear();
        next_ = 0;
    }
}

}  // namespace zn
