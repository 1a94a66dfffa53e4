// The topic commands over the data module: add a topic, rename the current topic, delete the
// current topic with its questions and answers and renumber the rest. No widgets: the topic
// dialog only collects the name, the main window only wires the actions; tests call these.
//
// Topics are numbered 1..n in numtema, and a question refers to its topic by that number
// (Voprosi.idtest). Deleting a topic renumbers every topic in ascending order of its old number
// and re-keys its questions first, so that the questions of a topic never meet those of a topic
// not yet handled. Question numbers and answers of the other topics are not touched.
//
// Every command is one write scope: it lands whole or not at all, and the stored question
// counts are brought up to date inside it. The tree rebuild (TreeObnov) follows the commit; on
// failure the error propagates, the file and the datasets are as before and the tree is not
// rebuilt.
#pragma once

#include <QString>
#include <functional>

#include "store/feedback.h"
#include "store/values.h"

namespace zn {

class TDatMod;

class TopicCommands {
  public:
    // The test-taking program shows at most this many topics.
    static constexpr int kMaxTopics = zn::kMaxTopics;
    // Characters Tema.tema holds.
    static constexpr int kMaxNameLength = 255;

    // `treeObnov` rebuilds the tree (may be empty). All must outlive this object.
    TopicCommands(TDatMod& dm, Feedback& feedback, std::function<void()> treeObnov);

    // Topics in the database (qrtema's rows; 0 when it is closed).
    int topicCount() const;
    // The number a new topic gets: the number of topics plus one.
    int nextTopicNumber() const { return topicCount() + 1; }
    // Whether a topic may be added; otherwise the message that says why (the test-taking
    // program shows 14 topics). Files that already hold more topics keep working otherwise.
    QString whyNoNewTopic() const;
    // What is wrong with `name` as a topic name (empty: nothing). Only a name with no characters
    // at all is empty; blanks are a name like any other.
    static QString checkName(const QString& name);

    // Adds topic `number` named `name` (stored exactly as given) with no questions.
    // REQUIRES: checkName(name) and whyNoNewTopic() are empty (otherwise Constraint is thrown).
    void addTopic(int number, const QString& name);
    // Gives the current topic (qrtema's row) the name `name`; its number, count and questions
    // stay. REQUIRES checkName(name) empty. Nothing happens without a current topic.
    void renameTopic(const QString& name);
    // Deletes the current topic with its questions and answers and renumbers the rest, with the
    // status texts and the progress bar of the deletion; ends with the tree rebuilt and the
    // status panel empty. Nothing happens when there is no topic.
    void deleteTopic();

    // The steps of deleteTopic, inside its write scope.
    void DeleteTema();
    void BazaObnv();
    // Gives the current topic the number `n`, re-keying its questions first.
    void RenameTema(int n);

  private:
    void rebuildTree();

    TDatMod& dm_;
    Feedback& fb_;
    std::function<void()> treeObnov_;
};

}  // namespace zn
