// The tree's commands that move questions: "Перенести в другую тему…" (move or copy chosen
// questions of the selected question's topic to another topic), "Переместить вверх" and
// "Переместить вниз", in the question nodes' popup menu; and a question node dragged onto
// another topic (or one of its questions) moves there, or is copied with Ctrl held. The work is
// QuestionMoves (tree/moves.h); this area asks through the modal seam and selects the moved
// question after the tree was rebuilt.
#pragma once

#include <QDialog>
#include <QObject>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QListWidget;
class QRadioButton;
class QTreeWidgetItem;

namespace zn {

class TDatMod;

class AreaWindow;
class QuestionMoves;

// Which questions go where: the questions of one topic (checkable), the topic they go to, and
// whether they are moved or copied.
class MoveQuestionsDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MoveQuestionsDialog)

  public:
    struct Item {
        qint64 id = 0;
        QString caption;
        bool checked = false;
    };
    // `topics`: (numtema, caption) of the topics they may go to.
    MoveQuestionsDialog(const std::vector<Item>& questions,
                        const std::vector<std::pair<qint64, QString>>& topics,
                        QWidget* parent = nullptr);

    std::vector<qint64> chosen() const;
    qint64 target() const;
    bool copy() const;

    QListWidget* questionList() const { return list_; }
    QComboBox* targetBox() const { return target_; }
    QRadioButton* copyButton() const { return copy_; }

  private:
    QListWidget* list_;
    QComboBox* target_;
    QRadioButton* copy_;
    std::vector<qint64> ids_;
};

class MovesArea : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MovesArea)

  public:
    // Adds the items to the question menu. `form` and `dm` must outlive the area.
    MovesArea(AreaWindow& form, TDatMod& dm, QObject* parent = nullptr);
    ~MovesArea() override;

    // The menu items' handlers.
    void moveToTopic();
    void moveUp() { moveWithin(-1); }
    void moveDown() { moveWithin(1); }

    // A question node dropped on `onto` (a topic node or a question node of another topic):
    // moved or copied to the end of that topic. What was dropped is the selected node.
    void dropOnto(QTreeWidgetItem* onto, bool copy);

    QAction* moveAction() const { return move_; }
    QAction* upAction() const { return up_; }
    QAction* downAction() const { return down_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void moveWithin(int delta);
    // The topic node `node` belongs to (itself for a topic node); null for none.
    static QTreeWidgetItem* topicOf(QTreeWidgetItem* node);
    // The selected question node's topic and question position (from 1); 0, 0 for none.
    std::pair<int, int> selectedQuestion() const;
    // After the rebuild: selects question `question` of topic `topic` (positions from 1).
    void select(int topic, int question);

    AreaWindow& form_;
    TDatMod& dm_;
    std::unique_ptr<QuestionMoves> moves_;
    QAction* move_;
    QAction* up_;
    QAction* down_;
};

}  // namespace zn
