// The search box above the tree: a line edit (Ctrl+F focuses it) and, while it holds text, the
// list of questions whose text, answers or picture name contain it (search.h). Enter or a
// double-click on a result asks for that question to be selected in the tree; Enter in the
// line edit takes the selected result, else the first. Escape empties the box.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "problems/search.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace zn {

class SearchBox : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchBox)

  public:
    // Results listed at most; the rest is counted under the list.
    static constexpr size_t kShownHits = 500;
    // Height of the result list at most; the tree keeps the rest.
    static constexpr int kResultsHeight = 220;

    explicit SearchBox(QWidget* parent = nullptr);
    ~SearchBox() override;

    // Where the box takes the index from at each search (may return nullptr: nothing found).
    void setIndex(std::function<const problems::SearchIndex*()> index) {
        index_ = std::move(index);
    }
    // Runs the search again for the text in the box (after the bank changed).
    void refresh();

    QLineEdit* edit() const { return edit_; }
    QListWidget* results() const { return results_; }
    QLabel* note() const { return note_; }
    const std::vector<problems::SearchHit>& hits() const { return hits_; }

  signals:
    void hitActivated(const zn::problems::SearchHit& hit);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void activate(int row);

    QLineEdit* edit_ = nullptr;
    QListWidget* results_ = nullptr;
    QLabel* note_ = nullptr;
    std::function<const problems::SearchIndex*()> index_;
    std::vector<problems::SearchHit> hits_;
};

}  // namespace zn
