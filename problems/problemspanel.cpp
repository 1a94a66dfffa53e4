// The "Проблемы" panel (see problemspanel.h).
#include "problems/problemspanel.h"

#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <optional>

namespace zn {

namespace {

constexpr int kIndexRole = Qt::UserRole + 10;

QString numberOrDash(qint64 n) {
    return n ? QString::number(n) : QStringLiteral("—");
}

// Enter on a line activates it as a double-click does (QTreeWidget's own Enter only edits).
class EnterFilter : public QObject {
  public:
    EnterFilter(QTreeWidget* list, QObject* parent) : QObject(parent), list_(list) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                list_->currentItem()) {
                emit list_->itemActivated(list_->currentItem(), 0);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QTreeWidget* list_;
};

}  // namespace

ProblemsPanel::ProblemsPanel(QWidget* parent) : QDockWidget(QStringLiteral("Проблемы"), parent) {
    setObjectName(QStringLiteral("DockProblems"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("PanProblems"));
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(3);

    counts_ = new QLabel(body);
    counts_->setObjectName(QStringLiteral("LabProblemCounts"));
    counts_->setWordWrap(true);
    counts_->setTextFormat(Qt::PlainText);
    layout->addWidget(counts_);

    list_ = new QTreeWidget(body);
    list_->setObjectName(QStringLiteral("ListProblems"));
    list_->setRootIsDecorated(false);
    list_->setIndentation(0);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setHeaderLabels({QStringLiteral("Тема"), QStringLiteral("Вопрос"),
                            QStringLiteral("Описание"), QStringLiteral("Запись")});
    // The description takes what the numbers leave: it is what the teacher reads.
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(DescriptionColumn, QHeaderView::Stretch);
    list_->setColumnWidth(TopicColumn, 45);
    list_->setColumnWidth(QuestionColumn, 55);
    list_->setColumnWidth(RowColumn, 55);
    list_->installEventFilter(new EnterFilter(list_, this));
    layout->addWidget(list_, 1);

    auto button = [&](const char* name, const QString& text) {
        auto* b = new QPushButton(text, body);
        b->setObjectName(QString::fromLatin1(name));
        layout->addWidget(b);
        return b;
    };
    renumberQuestions_ =
        button("BtnRenumberQuestions", QStringLiteral("Перенумеровать вопросы темы"));
    renumberTopics_ = button("BtnRenumberTopics", QStringLiteral("Перенумеровать темы"));
    recount_ = button("BtnRecount", QStringLiteral("Пересчитать вопросы тем"));
    deleteOrphans_ =
        button("BtnDeleteOrphans", QStringLiteral("Удалить вопросы без темы и ответы без вопроса"));
    recheck_ = button("BtnRecheck", QStringLiteral("Проверить снова"));
    setWidget(body);

    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
        if (!item || !item->parent()) return;
        const int i = item->data(0, kIndexRole).toInt();
        if (i >= 0 && size_t(i) < problems_.size()) emit problemActivated(problems_[size_t(i)]);
    });
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });
    connect(renumberQuestions_, &QPushButton::clicked, this, [this] {
        const problems::Problem* p = selectedProblem();
        if (p && p->kind == problems::Kind::QuestionNumbers)
            emit renumberQuestionsClicked(p->topic);
    });
    connect(renumberTopics_, &QPushButton::clicked, this, [this] { emit renumberTopicsClicked(); });
    connect(recount_, &QPushButton::clicked, this, [this] { emit recountClicked(); });
    connect(deleteOrphans_, &QPushButton::clicked, this, [this] { emit deleteOrphansClicked(); });
    connect(recheck_, &QPushButton::clicked, this, [this] { emit recheckClicked(); });
    connect(this, &QDockWidget::visibilityChanged, this,
            [this](bool visible) { emit visibilityChangedTo(visible); });
    updateButtons();
}

ProblemsPanel::~ProblemsPanel() = default;

void ProblemsPanel::setProblems(const std::vector<problems::Problem>& problems) {
    // The selection follows the same problem (kind, row id, numbers) when it is still there.
    const problems::Problem* before = selectedProblem();
    const std::optional<problems::Problem> keep =
        before ? std::optional<problems::Problem>(*before) : std::nullopt;

    problems_ = problems;
    list_->clear();
    const std::vector<int> counts = problems::countByKind(problems_);

    // A heading per kind (in the kinds' order), its problems under it in the check's order.
    std::vector<QTreeWidgetItem*> headings(size_t(problems::kKindCount), nullptr);
    QList<QTreeWidgetItem*> items;
    for (int k = 0; k < problems::kKindCount; ++k) {
        if (!counts[size_t(k)]) continue;
        auto* heading = new QTreeWidgetItem(QStringList{problems::kindName(problems::Kind(k)) +
                                                        QStringLiteral(" — ") +
                                                        QString::number(counts[size_t(k)])});
        heading->setData(0, kIndexRole, -1);
        QFont bold = heading->font(0);
        bold.setBold(true);
        heading->setFont(0, bold);
        heading->setFlags(Qt::ItemIsEnabled);
        headings[size_t(k)] = heading;
        items.append(heading);
    }
    QTreeWidgetItem* again = nullptr;
    for (size_t i = 0; i < problems_.size(); ++i) {
        const problems::Problem& p = problems_[i];
        auto* item = new QTreeWidgetItem(
            headings[size_t(p.kind)], QStringList{numberOrDash(p.topic), numberOrDash(p.question),
                                                  p.description, numberOrDash(p.rowId)});
        item->setData(0, kIndexRole, int(i));
        item->setToolTip(DescriptionColumn, p.description);
        if (keep && !again && keep->kind == p.kind && keep->rowId == p.rowId &&
            keep->topic == p.topic && keep->question == p.question)
            again = item;
    }
    list_->addTopLevelItems(items);
    for (QTreeWidgetItem* heading : items) {
        heading->setFirstColumnSpanned(true);
        heading->setExpanded(true);
    }
    if (again) list_->setCurrentItem(again);

    QStringList parts;
    for (int k = 0; k < problems::kKindCount; ++k)
        if (counts[size_t(k)])
            parts << problems::kindName(problems::Kind(k)) + QStringLiteral(": ") +
                         QString::number(counts[size_t(k)]);
    counts_->setText(problems_.empty()
                         ? QStringLiteral("Проблем не найдено.")
                         : QStringLiteral("Проблем: ") + QString::number(problems_.size()) +
                               QStringLiteral(". ") + parts.join(QStringLiteral("; ")) + u'.');
    updateButtons();
}

void ProblemsPanel::showError(const QString& message) {
    problems_.clear();
    list_->clear();
    counts_->setText(QStringLiteral("Проверка не выполнена: ") + message);
    updateButtons();
}

void ProblemsPanel::setRepairsEnabled(bool on) {
    repairsEnabled_ = on;
    updateButtons();
}

const problems::Problem* ProblemsPanel::selectedProblem() const {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->parent()) return nullptr;
    const int i = item->data(0, kIndexRole).toInt();
    return i >= 0 && size_t(i) < problems_.size() ? &problems_[size_t(i)] : nullptr;
}

bool ProblemsPanel::selectKind(problems::Kind kind) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* heading = list_->topLevelItem(i);
        if (heading->childCount() == 0) continue;
        const int index = heading->child(0)->data(0, kIndexRole).toInt();
        if (index >= 0 && problems_[size_t(index)].kind == kind) {
            list_->setCurrentItem(heading->child(0));
            return true;
        }
    }
    return false;
}

int ProblemsPanel::lineCount() const {
    int n = 0;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) n += list_->topLevelItem(i)->childCount();
    return n;
}

void ProblemsPanel::updateButtons() {
    const std::vector<int> counts = problems::countByKind(problems_);
    auto has = [&](problems::Kind k) { return counts[size_t(k)] > 0; };
    const problems::Problem* p = selectedProblem();
    renumberQuestions_->setEnabled(repairsEnabled_ && p &&
                                   p->kind == problems::Kind::QuestionNumbers);
    renumberTopics_->setEnabled(repairsEnabled_ && has(problems::Kind::TopicNumbers));
    recount_->setEnabled(repairsEnabled_ && has(problems::Kind::StoredCount));
    deleteOrphans_->setEnabled(repairsEnabled_ && (has(problems::Kind::OrphanQuestion) ||
                                                   has(problems::Kind::OrphanAnswer)));
}

}  // namespace zn
