// Feeds a page into the HTML view so that a long one shows at once and the window keeps taking
// input while the rest is laid out. A topic summary of hundreds of questions takes QTextBrowser
// a third of a second or more to parse and lay out in one piece; here the heading and the first
// questions are shown at once, and the other questions follow in small steps from the event
// loop, appended to the same document.
//
// The document that results is the one setHtml() of the whole page gives, drawn pixel for pixel
// the same: each step parses its questions behind the previous question, so that the first
// block of the step gets the formats (alignment, collapsed margins) it has in the whole page,
// and appends only its own part. The page text is split only where a question's page begins
// ("<center><h3>Вопрос № "); a page with no such place, or a short one, is set in one piece.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QTextBrowser;

namespace zn {

class PageFeeder : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageFeeder)

  public:
    // Questions shown at once, and appended per step of the event loop.
    static constexpr int kFirstQuestions = 6;
    static constexpr int kQuestionsPerStep = 8;

    // `view` must outlive the feeder.
    explicit PageFeeder(QTextBrowser& view, QObject* parent = nullptr);
    ~PageFeeder() override;

    // Replaces what the view shows by `html` (adapted with htmlForView); what an earlier call
    // still had to append is dropped.
    void show(const QString& html);
    // Whether parts of the last page are still to be appended.
    bool pending() const { return next_ < parts_.size(); }
    // Appends everything still pending at once (tests, and before anything reads the document).
    void finish();

    // The page split where a question's page begins (the first part holds what comes before the
    // first question, with that question). Exposed for tests.
    static QStringList split(const QString& html);

  private:
    void appendStep();
    void appendParts(qsizetype count);

    QTextBrowser& view_;
    QStringList parts_;
    qsizetype next_ = 0;
    QTimer timer_;
};

}  // namespace zn
