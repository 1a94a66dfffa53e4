// The "Проблемы" panel: a dock beside the tree listing the open bank's problems grouped by kind
// (a heading per kind, then one line per problem with its topic, question, description and row
// id), a count per kind, and the repair buttons. A
// double-click (or Enter) on a line asks for that question's (or topic's) node to be selected.
// The panel only shows: the check and the repairs are pure code (bankcheck.h, repairs.h) that
// the area calls.
#pragma once

#include <QDockWidget>
#include <vector>

#include "problems/bankcheck.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zn {

class ProblemsPanel : public QDockWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProblemsPanel)

  public:
    // Column of a problem's line (a kind's heading spans them all).
    enum Column { TopicColumn, QuestionColumn, DescriptionColumn, RowColumn };

    explicit ProblemsPanel(QWidget* parent = nullptr);
    ~ProblemsPanel() override;

    // Shows `problems` (replacing the list), keeping the selected line where it can.
    void setProblems(const std::vector<problems::Problem>& problems);
    // Shows a line saying the check could not run, and why.
    void showError(const QString& message);
    // Repairs on or off (off while the database cannot be written).
    void setRepairsEnabled(bool on);

    const std::vector<problems::Problem>& problems() const { return problems_; }
    // The selected problem, or nullptr.
    const problems::Problem* selectedProblem() const;
    // Selects the first line of kind `kind`; false when there is none.
    bool selectKind(problems::Kind kind);
    // The problems' lines shown (headings not counted).
    int lineCount() const;

    QTreeWidget* list() const { return list_; }
    QLabel* counts() const { return counts_; }
    QPushButton* renumberQuestionsButton() const { return renumberQuestions_; }
    QPushButton* renumberTopicsButton() const { return renumberTopics_; }
    QPushButton* recountButton() const { return recount_; }
    QPushButton* deleteOrphansButton() const { return deleteOrphans_; }
    QPushButton* recheckButton() const { return recheck_; }

  signals:
    // The person asked to go to the problem's node (double-click or Enter on its line).
    void problemActivated(const zn::problems::Problem& problem);
    void renumberQuestionsClicked(qint64 numtema);
    void renumberTopicsClicked();
    void recountClicked();
    void deleteOrphansClicked();
    void recheckClicked();
    // The panel was shown (opened) or hidden.
    void visibilityChangedTo(bool visible);

  private:
    void updateButtons();

    QTreeWidget* list_ = nullptr;
    QLabel* counts_ = nullptr;
    QPushButton* renumberQuestions_ = nullptr;
    QPushButton* renumberTopics_ = nullptr;
    QPushButton* recount_ = nullptr;
    QPushButton* deleteOrphans_ = nullptr;
    QPushButton* recheck_ = nullptr;
    std::vector<problems::Problem> problems_;
    bool repairsEnabled_ = true;
};

}  // namespace zn
