// Building the topic tree and handling its selection.
#include "tree/topictree.h"

#include <QAction>
#include <QHelpEvent>
#include <QMenu>
#include <QProgressBar>
#include <QStyleOptionViewItem>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>

#include "preview/questionpage.h"
#include "store/tdatmod.h"

namespace zn {

namespace {

constexpr int kSlotCount = 14;

QString questionKey(int topic, int question) {
    return QString::number(topic) + u'_' + QString::number(question);
}

// Nodes in the subtree of `item`, itself included.
int subtreeSize(const QTreeWidgetItem* item) {
    int n = 1;
    for (int i = 0; i < item->childCount(); ++i) n += subtreeSize(item->child(i));
    return n;
}

void setEnabled(const std::array<QAction*, 3>& actions, bool on) {
    for (QAction* a : actions)
        if (a) a->setEnabled(on);
}

}  // namespace

TopicTree::TopicTree(TDatMod& dm, const Session& session, TreeControls controls, QObject* parent)
    : QObject(parent), dm_(dm), session_(session), c_(std::move(controls)) {
    if (c_.treeDb) {
        connect(c_.treeDb, &QTreeWidget::currentItemChanged, this,
                [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                    if (c_.runGuarded)
                        c_.runGuarded([this, current] { TreeDbChange(current); });
                    else
                        TreeDbChange(current);
                });
        // Collapsing the topic of the selected question hides it: the selection moves to the
        // topic, whose selection then runs as any other (the topic's summary shows).
        connect(c_.treeDb, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* topic) {
            QTreeWidgetItem* current = c_.treeDb->currentItem();
            for (QTreeWidgetItem* n = current ? current->parent() : nullptr; n; n = n->parent())
                if (n == topic) {
                    c_.treeDb->setCurrentItem(topic);
                    return;
                }
        });
        c_.treeDb->viewport()->installEventFilter(this);
    }
}

bool TopicTree::captionIsCut(const QTreeWidget* tree, const QTreeWidgetItem* node) {
    if (!tree || !node || node->treeWidget() != tree) return false;
    const QModelIndex index = tree->indexFromItem(node);
    const QRect room = tree->visualRect(index);
    if (!room.isValid()) return false;
    QStyleOptionViewItem option;
    option.initFrom(tree->viewport());
    option.font = tree->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.decorationSize = tree->iconSize();
    option.decorationPosition = QStyleOptionViewItem::Left;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.rect = room;
    return tree->itemDelegateForIndex(index)->sizeHint(option, index).width() > room.width();
}

bool TopicTree::eventFilter(QObject* watched, QEvent* event) {
    // A caption the tree had to cut with "…" shows whole as the node's tooltip.
    if (event->type() == QEvent::ToolTip && c_.treeDb && watched == c_.treeDb->viewport()) {
        auto* help = static_cast<QHelpEvent*>(event);
        QTreeWidgetItem* node = c_.treeDb->itemAt(help->pos());
        if (node && captionIsCut(c_.treeDb, node)) {
            QToolTip::showText(help->globalPos(), node->text(0), c_.treeDb->viewport(),
                               c_.treeDb->visualItemRect(node));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

TopicTree::~TopicTree() = default;

// --- Slots

const TopicSlot& TopicTree::slot(int k) const {
    return k <= kSlotCount ? TopicSlots[size_t(k)] : extraSlot(k);
}

const TopicSlot& TopicTree::extraSlot(int k) const {
    static const TopicSlot none;
    const size_t i = size_t(k - kSlotCount - 1);
    return i < extraSlots_.size() ? extraSlots_[i] : none;
}

bool TopicTree::hasSlot(int k) const {
    return (k >= 1 && k <= kSlotCount) || size_t(k - kSlotCount - 1) < extraSlots_.size();
}

// --- Building

void TopicTree::refreshQuestionCounts() {
    // Only counts that changed are written, all in one write: a rebuild after a plain selection
    // writes nothing, and one on a database that cannot be written only shows the counts.
    const int total = 3 * dm_.qrtema.recordCount();
    int step = 0;
    dm_.recountQuestions([&] { buildProgress(++step, total); });
}

void TopicTree::fillSlots() {
    const int topics = dm_.qrtema.recordCount();
    extraSlots_.clear();
    int k = 1;
    for (dm_.qrtema.first(); !dm_.qrtema.eof(); dm_.qrtema.next(), ++k) {
        TopicSlot s{dm_.qrtema.asString("tema"), int(dm_.qrvoprosi.recordCount())};
        if (k <= kSlotCount)
            TopicSlots[size_t(k)] = std::move(s);
        else
            extraSlots_.push_back(std::move(s));
        buildProgress(topics + k, 3 * topics);
    }
}

void TopicTree::makeIcons() {
    topicIcon_ = nodeIcon(kTopicImage, kTopicImage);
    questionIcon_ = nodeIcon(kQuestionImage, kSelectedQuestionImage);
}

void TopicTree::appendTbTemaRow(int id, int nb, const QString& name, int bil, int vop) {
    MemTable& t = dm_.TbTema;
    t.insert();
    t.setInteger("id", id);
    t.setInteger("nb", nb);
    t.setString("name", name);
    t.setInteger("bil", bil);
    t.setInteger("vop", vop);
    t.post();
}

QIcon TopicTree::nodeIcon(int image, int selectedImage) const {
    if (!c_.image) return {};
    // The view draws an icon's Selected mode while its node is selected; left empty, Qt would
    // tint the normal image instead of showing the node's selected image.
    QIcon icon;
    const auto add = [&icon](const QIcon& from, QIcon::Mode mode) {
        QList<QSize> sizes = from.availableSizes();
        if (sizes.isEmpty()) sizes.append(QSize(16, 16));
        for (const QSize& size : sizes) icon.addPixmap(from.pixmap(size), mode);
    };
    add(c_.image(image), QIcon::Normal);
    add(c_.image(selectedImage), QIcon::Selected);
    return icon;
}

void TopicTree::addTopicNodes(int k, int& nodeIndex) {
    const TopicSlot& s = slot(k);
    const QString caption =
        QStringLiteral("Тема ") + QString::number(k) + QStringLiteral(". ") + s.name;
    auto* topic = new QTreeWidgetItem(QStringList{caption});
    topic->setData(0, kImageRole, kTopicImage);
    topic->setData(0, kSelectedImageRole, kTopicImage);
    topic->setIcon(0, topicIcon_);
    if (c_.treeDb) c_.treeDb->addTopLevelItem(topic);
    appendTbTemaRow(nodeIndex++, k, caption, 0, 0);

    QList<QTreeWidgetItem*> questions;
    for (int q = 1; q <= s.count; ++q) {
        auto* node =
            new QTreeWidgetItem(QStringList{QStringLiteral("Вопрос ") + QString::number(q)});
        node->setData(0, kImageRole, kQuestionImage);
        node->setData(0, kSelectedImageRole, kSelectedQuestionImage);
        node->setIcon(0, questionIcon_);
        questions.append(node);
        appendTbTemaRow(nodeIndex++, 0, questionKey(k, q), k, q);
    }
    topic->addChildren(questions);
    if (!c_.treeDb) delete topic;
}

void TopicTree::applySelectionRule() {
    if (!c_.treeDb) return;
    QTreeWidgetItem* first = c_.treeDb->topLevelItem(0);
    if (!first) return;
    first->setExpanded(true);
    // Position 1 is the first topic's first question, position 0 the topic itself.
    c_.treeDb->setCurrentItem(first->childCount() > 0 ? first->child(0) : first);
}

void TopicTree::clearTree() {
    if (c_.treeDb) c_.treeDb->clear();
}

void TopicTree::buildProgress(int step, int total) {
    // The range is set each time: the selection that a start-up build runs between two topics
    // may use the bar for a topic summary.
    if (!c_.progBar1) return;
    c_.progBar1->setRange(0, std::max(total, 1));
    c_.progBar1->setValue(step);
}

void TopicTree::TreeObnov() {
    TreeEventsOn = 0;
    clearTree();
    TreeEventsOn = 1;
    if (!dm_.qrtema.isOpen() || dm_.qrtema.recordCount() == 0) {
        // No node is selected now, so no selection sets the commands.
        updateCommands();
        return;
    }

    dm_.TbTema.close();
    dm_.TbTema.open();
    // Rows inserted or renumbered since qrtema was opened come in numtema order.
    dm_.qrtema.close();
    dm_.qrtema.open();

    makeIcons();
    // The bar runs once over the three walks of the topics: counts, slots, nodes.
    buildProgress(0, 3 * dm_.qrtema.recordCount());
    refreshQuestionCounts();
    fillSlots();

    dm_.qrtema.first();
    TreeComplete = 0;
    clearTree();
    const int topics = dm_.qrtema.recordCount();
    int nodeIndex = 0;
    for (int k = 1; k <= topics; ++k) {
        addTopicNodes(k, nodeIndex);
        buildProgress(2 * topics + k, 3 * topics);
    }
    if (c_.progBar1) c_.progBar1->setValue(0);

    TreeComplete = 1;
    applySelectionRule();
}

void TopicTree::startupBuild() {
    makeIcons();
    const int topics = dm_.qrtema.recordCount();
    if (topics > 0) {
        buildProgress(0, 3 * topics);
        refreshQuestionCounts();
        fillSlots();
    }

    dm_.qrtema.first();
    TreeComplete = 0;
    clearTree();  // TreeEventsOn is still 0: not handled
    int nodeIndex = 0;
    for (int k = 1; k <= topics; ++k) {
        addTopicNodes(k, nodeIndex);
        // The first pass selects the first node while only its topic exists; later passes find
        // it selected already and change nothing.
        TreeEventsOn = 1;
        TreeComplete = 1;
        applySelectionRule();
        buildProgress(2 * topics + k, 3 * topics);
    }
    if (topics > 0 && c_.progBar1) c_.progBar1->setValue(0);
    TreeComplete = 1;
}

// --- Selection

int TopicTree::nodePosition(const QTreeWidgetItem* node) {
    int pos = 0;
    for (const QTreeWidgetItem* n = node; n; n = n->parent()) {
        const QTreeWidgetItem* parent = n->parent();
        if (parent) {
            const int index = parent->indexOfChild(const_cast<QTreeWidgetItem*>(n));
            for (int i = 0; i < index; ++i) pos += subtreeSize(parent->child(i));
            pos += 1;  // the parent itself comes first
        } else if (QTreeWidget* tree = n->treeWidget()) {
            const int index = tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(n));
            for (int i = 0; i < index; ++i) pos += subtreeSize(tree->topLevelItem(i));
        }
    }
    return pos;
}

void TopicTree::TreeDbChange(QTreeWidgetItem* node) {
    if (TreeEventsOn != 1) return;
    if (!node) return;  // the tree was emptied: there is nothing to show
    if (c_.clearEdImage) c_.clearEdImage();

    MemTable& row = dm_.TbTema;
    row.locate("id", nodePosition(node));
    SelectedTopicNo = int(row.asInteger("bil"));
    SelectedQuestionNo = int(row.asInteger("vop"));
    const int nb = int(row.asInteger("nb"));
    const QString name = row.asString("name");

    // A question node: its topic, then the question. A topic node: both are 0, nothing moves.
    dm_.qrtema.locate("numtema", SelectedTopicNo);
    if (dm_.qrvoprosi.isOpen()) dm_.qrvoprosi.locate("idvopr", SelectedQuestionNo);
    if (nb != 0) {
        dm_.qrtema.locate("numtema", nb);
        if (c_.setTreePopup) c_.setTreePopup(c_.popupMenu1);
    } else {
        if (c_.setTreePopup) c_.setTreePopup(c_.popupMenu2);
    }

    if (TreeComplete == 1) {
        updateCommands();
        if (nb == 0) {
            if (c_.setStatusText)
                c_.setStatusText(QStringLiteral("Тема : ") +
                                 QString::number(dm_.qrvoprosi.asInteger("idtest")) +
                                 QStringLiteral("  Вопрос : ") +
                                 QString::number(dm_.qrvoprosi.asInteger("idvopr")));
            if (c_.repaintStatus) c_.repaintStatus();
            const QString page = VoptoStrUniv(dm_, session_.dataFolder, name);
            if (c_.loadPreview) c_.loadPreview(page);
        } else {
            if (c_.setStatusText)
                c_.setStatusText(QStringLiteral("Вопросы темы ") + QString::number(nb));
            if (c_.repaintStatus) c_.repaintStatus();
            if (hasSlot(nb)) showTopicSummary(nb);
        }
    }

    if (c_.showAnswersPanel) c_.showAnswersPanel();
}

void TopicTree::updateCommands() {
    const bool editing = editingAllowed();
    const QTreeWidgetItem* node = c_.treeDb ? c_.treeDb->currentItem() : nullptr;
    const bool question = node && node->parent();
    setEnabled(c_.buttem, editing && !question);
    if (c_.butvop[0]) c_.butvop[0]->setEnabled(editing && node);
    if (c_.butvop[1]) c_.butvop[1]->setEnabled(editing && question);
    if (c_.butvop[2]) c_.butvop[2]->setEnabled(editing && question);
}

void TopicTree::showTopicSummary(int k) {
    const TopicSlot& s = slot(k);
    const int n = s.count;
    QProgressBar* bar = c_.progBar1;
    // A maximum of 0 would make QProgressBar show a busy bar; an empty topic keeps an empty one.
    if (bar) bar->setRange(0, std::max(n, 1));

    QString summary = QStringLiteral("<center><big><h3>Тема № ") + QString::number(k) +
                      QStringLiteral(". ") + s.name + QStringLiteral("</h3></big>");
    for (int q = 1; q <= n; ++q) {
        dm_.qrtema.locate("numtema", k);
        // A missing number leaves qrvoprosi on the topic's first question, which the topic
        // locate has just put it on.
        if (dm_.qrvoprosi.isOpen()) dm_.qrvoprosi.locate("idvopr", q);
        summary += VoptoStrUniv(dm_, session_.dataFolder, questionKey(k, q));
        // From the loop count, not from value(): a bar that was never set or was reset by
        // setRange() stands at -1.
        if (bar) bar->setValue(q);
    }
    if (c_.loadPreview) c_.loadPreview(summary);
    if (c_.setStatusText) c_.setStatusText(QStringLiteral("Вопросов : ") + QString::number(n));
    if (bar) bar->setValue(0);
}

}  // namespace zn
