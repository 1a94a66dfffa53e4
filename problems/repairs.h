// The repairs the problem list offers where the right result is certain: renumber a topic's
// questions, renumber the topics, recount the stored question counts, delete rows without
// their owner. No widgets: the panel asks for a plan, shows it through the modal seam and runs
// the repair only when the person agrees; tests call these directly.
//
// Every repair is one write scope: it lands whole or not at all. It reads the bank afresh
// inside the scope (what the plan showed is what it does, since no other program writes while
// this one holds the database for writing), writes only the rows that change, brings the
// stored question counts up to date, and rebuilds the tree after the commit. On failure the
// error propagates and file, datasets and tree are as before.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "store/feedback.h"

namespace zn {

class TDatMod;

class Repairs {
  public:
    // What a repair will do, shown before it is done. `changes` is empty when there is nothing
    // to do; `refusal` is not empty when the repair cannot be done (then nothing is done).
    struct Plan {
        QString title;
        QStringList changes;
        QString refusal;
        bool nothingToDo() const { return changes.isEmpty() && refusal.isEmpty(); }
        // The plan as one text for a message box (at most `lines` changes listed).
        QString text(int lines = 12) const;
    };

    // `treeObnov` rebuilds the tree (may be empty). All must outlive this object.
    Repairs(TDatMod& dm, Feedback& feedback, std::function<void()> treeObnov);

    // The questions of the topic numbered `numtema` get the numbers 1..n in the order of their
    // old numbers (ties: in id order). Answers refer to questions by id and stay.
    Plan planRenumberQuestions(qint64 numtema);
    void renumberQuestions(qint64 numtema);

    // The topics get the numbers 1..n in the order of their old numbers (ties: in id order),
    // and their questions follow them (the questions of a repeated number stay with the first
    // topic of that number). Refused when a question of no topic would then fall into a topic.
    Plan planRenumberTopics();
    void renumberTopics();

    // Every topic's kolvopr becomes the number of its questions.
    Plan planRecount();
    void recount();

    // Deletes the questions whose idtest is no topic's number with their answers, and the
    // answers whose idvopr is no question's id.
    Plan planDeleteOrphans();
    void deleteOrphans();

  private:
    void finish(const QString& status);

    TDatMod& dm_;
    Feedback& fb_;
    std::function<void()> treeObnov_;
};

}  // namespace zn
