// Moving questions between topics and within their topic: move or copy chosen questions to
// another topic, and move a question up or down among its topic's questions. No widgets: the
// tree's menu items collect the choice and call these; tests call them directly.
//
// Questions are numbered 1..n within their topic (Voprosi.idvopr) and refer to their topic by
// its number (idtest); answers refer to their question by its row id, so moving a question
// changes only its own row and copying inserts a new question with copies of its answers. After
// a move both topics are numbered 1..n again in their order (the gap closed; the questions that
// came in after the target's own, in the order chosen), and the stored question counts of both
// are brought up to date. Each command is one write scope, so it lands whole or not at all and
// is one entry of the undo history; the tree rebuild follows the commit.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace zn {

class TDatMod;

class QuestionMoves {
  public:
    // `treeObnov` rebuilds the tree (may be empty). Both must outlive this object.
    QuestionMoves(TDatMod& dm, std::function<void()> treeObnov);

    // Moves (or, with `copy`, copies) the questions whose row ids are `questionIds` (in that
    // order) to the end of topic `targetTopic` (its numtema). A question already in the target
    // topic is left where it is when moved (copied, it gets a copy at the end). Returns the
    // number the first of them has in the target topic afterwards (0 when nothing was done).
    // Throws jet::Error(Constraint) with a Russian message when the target topic does not exist
    // or would hold more questions than its numbers can count.
    int moveToTopic(const std::vector<qint64>& questionIds, qint64 targetTopic, bool copy);

    // Moves the question with row id `questionId` one place up (`delta` -1) or down (+1) among
    // its topic's questions, numbering the topic 1..n. Returns its new number; 0 when it is
    // already first (last) or does not exist, and nothing is written then.
    int moveWithinTopic(qint64 questionId, int delta);

  private:
    void rebuildTree();

    TDatMod& dm_;
    std::function<void()> treeObnov_;
};

}  // namespace zn
