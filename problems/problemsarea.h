// The problems area of the main window: the "Проблемы" panel with its tool button and menu
// item, the repairs it offers, and the search box above the tree. It owns the panel, the box
// and the repair commands; the main window and the data module are the program's.
//
// The check runs when the panel is opened and after every command while it is open: the area
// follows the main window's tree rebuild (hooks().treeObnov and the start-up build), which ends
// every command that changes topics or questions. The same read of the bank refreshes the
// search index; with the panel closed the index is read again at the next search after a
// rebuild.
#pragma once

#include <QObject>
#include <memory>
#include <optional>

#include "problems/bankcheck.h"
#include "problems/search.h"

class QAction;

namespace zn {

class TDatMod;

namespace problems {
class SpellingCheck;
}
namespace spell {
class Checker;
}
class AreaWindow;
class ProblemsPanel;
class Repairs;
class SearchBox;

class ProblemsArea : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProblemsArea)

  public:
    // Adds the panel (hidden), the tool button, the menu item and the search box to `form`,
    // and follows its tree rebuilds (bankChanged()). `form` and `dm` must outlive the area.
    ProblemsArea(AreaWindow& form, TDatMod& dm, QObject* parent = nullptr);
    ~ProblemsArea() override;

    ProblemsPanel& panel() { return *panel_; }
    SearchBox& searchBox() { return *search_; }
    Repairs& repairs() { return *repairs_; }
    // The action that shows and hides the panel (tool button and menu item).
    QAction* panelAction() const { return panelAction_; }
    // The action that focuses the search box (Ctrl+F).
    QAction* findAction() const { return findAction_; }

    // Runs the check now and shows its result in the panel.
    void recheck();
    // From now on the check lists the words `checker` does not know (Kind::UnknownWord).
    // `checker` must outlive the area.
    void enableSpellChecking(spell::Checker& checker);
    // Selects the node of a question (or topic, when questionPos is 0) in the tree; false when
    // the tree has no such node.
    bool selectNode(int topicPos, int questionPos);

    // The repairs as the panel's buttons run them: the plan is shown through the modal seam and
    // the repair runs only when the person agrees.
    void renumberQuestions(qint64 numtema);
    void renumberTopics();
    void recount();
    void deleteOrphans();

  private:
    void bankChanged();
    const problems::SearchIndex* searchIndex();
    void goTo(const problems::Problem& problem);
    template <class PlanFn, class DoFn>
    void runRepair(PlanFn plan, DoFn repair);

    AreaWindow& form_;
    TDatMod& dm_;
    // Width of the panel when it opens: the description column is readable at it.
    static constexpr int kPanelWidth = 480;

    ProblemsPanel* panel_ = nullptr;  // owned by the main window
    SearchBox* search_ = nullptr;     // owned by the main window
    QAction* panelAction_ = nullptr;
    QAction* findAction_ = nullptr;
    std::unique_ptr<Repairs> repairs_;
    std::optional<problems::SearchIndex> index_;
    problems::PictureVerdicts pictures_;                 // empty: read again at the next search
    std::unique_ptr<problems::SpellingCheck> spelling_;  // null: no unknown words
};

}  // namespace zn
