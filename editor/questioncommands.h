// The question commands over the data module: what the question editor page is opened with
// (a new question of the current topic, or the current question), checking what the page holds,
// saving it, and deleting the current question with the renumbering of its topic. No widgets:
// the page only fills and reads a QuestionDraft; tests call these directly.
//
// A save is bound to what the page was opened for, not to whatever the tree selects when
// "Записать" is pressed: an edit writes into the question row it was opened on (found again by
// its id), a new question joins the topic it was opened for (found again by the topic's id) with
// the next free number of that topic at the moment of saving. When that row is gone, the save
// says so in an "Ошибка" box and writes nothing.
//
// Every save and every deletion is one write scope: it lands whole or not at all, with the
// stored question counts brought up to date inside it. The tree rebuild (TreeObnov) follows the
// commit; on failure the error propagates, the file and the tree are as before, and the data
// module's cursors are back on the rows the tree selection had put them on.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

#include "store/feedback.h"

namespace zn {

class TDatMod;

// What the question editor page holds, as a value. Texts are the controls' whole texts, memo
// lines joined by CR LF, untrimmed.
struct QuestionDraft {
    static constexpr int kMaxAnswers = 6;
    static constexpr int kMinAnswers = 2;

    enum class Mode {
        None,  // the page was never opened
        Add,   // a new question of the topic `topicId`
        Edit,  // the question row `questionId`
    };
    Mode mode = Mode::None;
    // What the page was opened for: the Voprosi row's id (Edit) and the Tema row's id (both
    // modes; for Edit only the topic the question had then). 0: none.
    qint64 questionId = 0;
    qint64 topicId = 0;

    qint64 topicNumber = 0;     // lbTema: the topic's numtema (Edit: the question's idtest)
    qint64 questionNumber = 0;  // lbVopros: idvopr the question has or will get
    QString topicName;          // edTema, shown only

    bool withPicture = false;                  // "С изображением" checked
    QString picture;                           // EdImage: a bare file name in the data folder
    int answerCount = 3;                       // TrBar's position, 2..6
    QString question;                          // MemVopr
    std::array<QString, kMaxAnswers> answers;  // MemOtv1..MemOtv6
    int marked = 0;  // the checked selector RB1..RB6 (the last one, looked at in order); 0: none
};

class QuestionCommands {
  public:
    // `treeObnov` rebuilds the tree (may be empty). All must outlive this object.
    QuestionCommands(TDatMod& dm, Feedback& feedback, std::function<void()> treeObnov);

    // The number a new question of the current topic gets: one more than the highest idvopr
    // of the topic (1 for a topic without questions). With the topic numbered 1..n, as the
    // editor keeps it, that is the topic's question count plus one; on a file whose numbers
    // have gaps or repeats it still comes after every question and repeats none. Walks
    // qrvoprosi: its cursor ends on the last question.
    int nextQuestionNumber();

    // The page for a new question of the current topic (qrtema's row): its number and name,
    // the topic's question count plus one as the number shown, 3 answers, answer 1 marked,
    // everything else empty. nullopt when there is no current topic.
    std::optional<QuestionDraft> draftForNew() const;
    // The page for the current question (qrvoprosi's row) with its answers (qrotveti's rows):
    // texts trimmed, at most six answers, the answer count that of the stored answer rows
    // limited to 2..6, the stored correct answer marked when it is 1..6, the picture named
    // when `img` is not empty. nullopt when there is no current question.
    std::optional<QuestionDraft> draftOfCurrent() const;

    // What keeps `draft` from being saved, one message per failed check, in this order: the
    // picture name (when "С изображением" is checked: empty, or longer than `img` holds), the
    // question, answers 1..N, the correct answer among 1..N. Empty: it can be saved.
    static QStringList check(const QuestionDraft& draft);

    // "Записать". Shows an "Ошибка" box for the row the page was opened for when it no longer
    // exists, else one for each message of check(); then writes nothing and returns false.
    // Otherwise, in one write scope: the question row (a new one in its topic, numbered
    // nextQuestionNumber() then, or the bound row, whose idtest, idvopr, pokaz, status, reiting
    // and vopros1 stay), exactly N answer rows numbered 1..N in place of any it had, and the
    // question counts. After the commit `afterCommit` runs (the page hides itself there), then
    // the tree is rebuilt and the progress bar set to 0; returns true. Engine errors propagate
    // with nothing written.
    bool save(const QuestionDraft& draft, const std::function<void()>& afterCommit = {});

    // "Удалить вопрос": deletes the current question (qrvoprosi's row) with its answers and
    // renumbers the rest of its topic 1..n in their order, closing every gap and repetition;
    // one write scope, then the tree is rebuilt. Nothing happens without a current question.
    void deleteQuestion();

  private:
    // Puts qrvoprosi on question `id` (qrotveti then holds its answers), looking in topic
    // `topicNumber` first and then in every topic. False when no topic holds it.
    bool locateQuestion(qint64 id, qint64 topicNumber);
    void clearAnswers();
    void rebuildTree();

    TDatMod& dm_;
    Feedback& fb_;
    std::function<void()> treeObnov_;
};

}  // namespace zn
