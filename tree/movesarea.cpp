// The question menu's move commands and their dialog.
#include "tree/movesarea.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "frame/areawindow.h"
#include "frame/guard.h"
#include "frame/modal.h"
#include "jet/database.h"
#include "store/schema.h"
#include "store/tdatmod.h"
#include "tree/moves.h"

namespace zn {

namespace {

// How much of a question's text its line in the dialog shows.
constexpr int kExcerpt = 60;

qint64 integerOf(const jet::Value& v) {
    if (const auto* n = std::get_if<int64_t>(&v)) return *n;
    return 0;
}

QString textOf(const jet::Value& v) {
    if (const auto* s = std::get_if<std::u16string>(&v)) return QString::fromStdU16String(*s);
    return {};
}

// The bank as the tree orders it: topics by number (then id), each with its questions by
// number (then id).
struct TreeOrder {
    struct Question {
        qint64 id = 0;
        qint64 number = 0;
        QString text;
    };
    struct Topic {
        qint64 id = 0;
        qint64 numtema = 0;
        QString name;
        std::vector<Question> questions;
    };
    std::vector<Topic> topics;
};

TreeOrder readOrder(TDatMod& dm) {
    TreeOrder out;
    if (!dm.Conn.isOpen()) return out;
    jet::Database& db = dm.Conn.database();
    jet::Table& tema = db.table(schema::kTema.toStdString());
    jet::Table& vopr = db.table(schema::kVoprosi.toStdString());
    const int tId = tema.columnIndex("id"), tNum = tema.columnIndex("numtema"),
              tName = tema.columnIndex("tema");
    const int vId = vopr.columnIndex("id"), vTopic = vopr.columnIndex("idtest"),
              vNum = vopr.columnIndex("idvopr"), vText = vopr.columnIndex("vopros");
    if (std::min({tId, tNum, tName, vId, vTopic, vNum, vText}) < 0) return out;
    for (auto sc = tema.scan(); sc.next();) {
        const jet::Row& r = sc.row();
        out.topics.push_back(
            {integerOf(r[size_t(tId)]), integerOf(r[size_t(tNum)]), textOf(r[size_t(tName)]), {}});
    }
    std::stable_sort(out.topics.begin(), out.topics.end(), [](const auto& a, const auto& b) {
        return a.numtema != b.numtema ? a.numtema < b.numtema : a.id < b.id;
    });
    for (auto sc = vopr.scan(); sc.next();) {
        const jet::Row& r = sc.row();
        const qint64 topic = integerOf(r[size_t(vTopic)]);
        // The first topic of a number holds its questions, as in the tree.
        for (TreeOrder::Topic& t : out.topics)
            if (t.numtema == topic) {
                t.questions.push_back({integerOf(r[size_t(vId)]), integerOf(r[size_t(vNum)]),
                                       textOf(r[size_t(vText)])});
                break;
            }
    }
    for (TreeOrder::Topic& t : out.topics)
        std::stable_sort(t.questions.begin(), t.questions.end(), [](const auto& a, const auto& b) {
            return a.number != b.number ? a.number < b.number : a.id < b.id;
        });
    return out;
}

QString excerpt(const QString& text) {
    QString line = text.simplified();
    if (line.size() > kExcerpt) line = line.left(kExcerpt - 1) + u'…';
    return line;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

MoveQuestionsDialog::MoveQuestionsDialog(const std::vector<Item>& questions,
                                         const std::vector<std::pair<qint64, QString>>& topics,
                                         QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("MoveQuestions"));
    setWindowTitle(QStringLiteral("Перенос вопросов"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Вопросы:"), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("MoveQuestionList"));
    for (const Item& q : questions) {
        auto* item = new QListWidgetItem(q.caption, list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(q.checked ? Qt::Checked : Qt::Unchecked);
        ids_.push_back(q.id);
    }
    layout->addWidget(list_);
    layout->addWidget(new QLabel(QStringLiteral("В тему:"), this));
    target_ = new QComboBox(this);
    target_->setObjectName(QStringLiteral("MoveTarget"));
    for (const auto& [number, caption] : topics) target_->addItem(caption, number);
    layout->addWidget(target_);
    auto* move = new QRadioButton(QStringLiteral("Перенести"), this);
    move->setObjectName(QStringLiteral("MoveMode"));
    move->setChecked(true);
    copy_ = new QRadioButton(QStringLiteral("Копировать"), this);
    copy_->setObjectName(QStringLiteral("CopyMode"));
    layout->addWidget(move);
    layout->addWidget(copy_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::vector<qint64> MoveQuestionsDialog::chosen() const {
    std::vector<qint64> out;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->checkState() == Qt::Checked) out.push_back(ids_[size_t(i)]);
    return out;
}

qint64 MoveQuestionsDialog::target() const {
    return target_->currentIndex() < 0 ? -1 : target_->currentData().toLongLong();
}

bool MoveQuestionsDialog::copy() const {
    return copy_->isChecked();
}

// ---------------------------------------------------------------------------------------------

MovesArea::MovesArea(AreaWindow& form, TDatMod& dm, QObject* parent)
    : QObject(parent), form_(form), dm_(dm) {
    moves_ = std::make_unique<QuestionMoves>(dm_, [this] { form_.TreeObnov(); });
    QMenu* menu = form_.questionMenu();
    move_ = new QAction(QStringLiteral("Перенести в другую тему…"), menu);
    move_->setObjectName(QStringLiteral("ActMoveQuestions"));
    up_ = new QAction(QStringLiteral("Переместить вверх"), menu);
    up_->setObjectName(QStringLiteral("ActQuestionUp"));
    up_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up));
    down_ = new QAction(QStringLiteral("Переместить вниз"), menu);
    down_->setObjectName(QStringLiteral("ActQuestionDown"));
    down_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down));
    if (menu) {
        menu->addSeparator();
        menu->addActions({move_, up_, down_});
    }
    // The shortcuts work where the tree has the focus.
    if (QTreeWidget* tree = form_.treeDb()) {
        for (QAction* a : {up_, down_}) {
            a->setShortcutContext(Qt::WidgetShortcut);
            tree->addAction(a);
        }
    }
    // Dragging a question node onto another topic moves it there (the drop is taken before the
    // tree's own handling, which would only move the node).
    if (QTreeWidget* tree = form_.treeDb()) {
        tree->setDragEnabled(true);
        tree->setAcceptDrops(true);
        tree->setDragDropMode(QAbstractItemView::DragDrop);
        tree->setDefaultDropAction(Qt::MoveAction);
        tree->viewport()->installEventFilter(this);
    }
    connect(move_, &QAction::triggered, this, [this] { runGuarded([this] { moveToTopic(); }); });
    connect(up_, &QAction::triggered, this, [this] { runGuarded([this] { moveUp(); }); });
    connect(down_, &QAction::triggered, this, [this] { runGuarded([this] { moveDown(); }); });
}

MovesArea::~MovesArea() {
    if (QTreeWidget* tree = form_.treeDb()) tree->viewport()->removeEventFilter(this);
}

QTreeWidgetItem* MovesArea::topicOf(QTreeWidgetItem* node) {
    while (node && node->parent()) node = node->parent();
    return node;
}

bool MovesArea::eventFilter(QObject* watched, QEvent* event) {
    QTreeWidget* tree = form_.treeDb();
    if (!tree || watched != tree->viewport()) return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    QTreeWidgetItem* dragged = tree->currentItem();
    QTreeWidgetItem* onto = tree->itemAt(drop->position().toPoint());
    // Only a question node of this tree, onto another topic, while the bank may be changed.
    const bool fits = drop->source() == tree && dragged && dragged->parent() && onto &&
                      topicOf(onto) != dragged->parent() && form_.editingEnabled();
    if (type == QEvent::DragEnter) {
        // Entering is accepted for any question node, so that moves over it are asked.
        if (drop->source() == tree && dragged && dragged->parent())
            drop->acceptProposedAction();
        else
            drop->ignore();
        return true;
    }
    if (!fits) {
        drop->ignore();
        return true;
    }
    const bool copy = drop->modifiers().testFlag(Qt::ControlModifier);
    drop->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
    drop->accept();
    if (type == QEvent::Drop) {
        // The tree is rebuilt by the command: not while the view is still handling the drop.
        // The drag itself reports that nothing moved, so the view removes no node of its own.
        drop->setDropAction(Qt::IgnoreAction);
        const int topicPos = tree->indexOfTopLevelItem(topicOf(onto));
        QTimer::singleShot(0, this, [this, tree, copy, topicPos] {
            runGuarded([&] {
                if (topicPos >= 0 && topicPos < tree->topLevelItemCount())
                    dropOnto(tree->topLevelItem(topicPos), copy);
            });
        });
    }
    return true;
}

void MovesArea::dropOnto(QTreeWidgetItem* onto, bool copy) {
    if (!form_.editingEnabled()) return;
    QTreeWidget* tree = form_.treeDb();
    QTreeWidgetItem* target = topicOf(onto);
    const auto [topicPos, questionPos] = selectedQuestion();
    if (!tree || !target || topicPos < 1) return;
    const int targetPos = tree->indexOfTopLevelItem(target) + 1;
    if (targetPos == topicPos) return;
    const TreeOrder order = readOrder(dm_);
    if (topicPos > int(order.topics.size()) || targetPos > int(order.topics.size())) return;
    const auto& questions = order.topics[size_t(topicPos - 1)].questions;
    if (questionPos < 1 || questionPos > int(questions.size())) return;
    const int first = moves_->moveToTopic({questions[size_t(questionPos - 1)].id},
                                          order.topics[size_t(targetPos - 1)].numtema, copy);
    if (first > 0) select(targetPos, first);
}

std::pair<int, int> MovesArea::selectedQuestion() const {
    QTreeWidget* tree = form_.treeDb();
    QTreeWidgetItem* node = tree ? tree->currentItem() : nullptr;
    if (!node || !node->parent()) return {0, 0};
    return {tree->indexOfTopLevelItem(node->parent()) + 1, node->parent()->indexOfChild(node) + 1};
}

void MovesArea::select(int topic, int question) {
    QTreeWidget* tree = form_.treeDb();
    if (!tree || topic < 1 || topic > tree->topLevelItemCount()) return;
    QTreeWidgetItem* t = tree->topLevelItem(topic - 1);
    if (question < 1 || question > t->childCount()) return;
    t->setExpanded(true);
    tree->setCurrentItem(t->child(question - 1));
}

void MovesArea::moveToTopic() {
    if (!form_.editingEnabled()) return;
    const auto [topicPos, questionPos] = selectedQuestion();
    const TreeOrder order = readOrder(dm_);
    if (topicPos < 1 || topicPos > int(order.topics.size()) || order.topics.size() < 2) return;
    const TreeOrder::Topic& from = order.topics[size_t(topicPos - 1)];
    std::vector<MoveQuestionsDialog::Item> items;
    int q = 0;
    for (const TreeOrder::Question& question : from.questions) {
        ++q;
        items.push_back({question.id,
                         QStringLiteral("Вопрос %1. %2").arg(q).arg(excerpt(question.text)),
                         q == questionPos});
    }
    std::vector<std::pair<qint64, QString>> topics;
    int k = 0;
    for (const TreeOrder::Topic& t : order.topics) {
        ++k;
        if (k != topicPos)
            topics.emplace_back(t.numtema, QStringLiteral("Тема %1. %2").arg(k).arg(t.name));
    }
    MoveQuestionsDialog dialog(items, topics);
    if (Modal::exec(dialog) != QDialog::Accepted) return;
    const std::vector<qint64> chosen = dialog.chosen();
    const qint64 target = dialog.target();
    if (chosen.empty() || target < 0) return;
    const int first = moves_->moveToTopic(chosen, target, dialog.copy());
    if (first == 0) return;
    // The target topic's place in the tree.
    int targetPos = 0;
    for (size_t i = 0; i < order.topics.size(); ++i)
        if (order.topics[i].numtema == target) {
            targetPos = int(i) + 1;
            break;
        }
    select(targetPos, first);
}

void MovesArea::moveWithin(int delta) {
    if (!form_.editingEnabled()) return;
    const auto [topicPos, questionPos] = selectedQuestion();
    const TreeOrder order = readOrder(dm_);
    if (topicPos < 1 || topicPos > int(order.topics.size())) return;
    const auto& questions = order.topics[size_t(topicPos - 1)].questions;
    if (questionPos < 1 || questionPos > int(questions.size())) return;
    const int now = moves_->moveWithinTopic(questions[size_t(questionPos - 1)].id, delta);
    if (now > 0) select(topicPos, now);
}

}  // namespace zn
