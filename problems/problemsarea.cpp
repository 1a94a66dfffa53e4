// The problems area (see problemsarea.h).
#include "problems/problemsarea.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTreeWidget>

#include "frame/areawindow.h"
#include "frame/guard.h"
#include "frame/modal.h"
#include "problems/problemspanel.h"
#include "problems/repairs.h"
#include "problems/searchbox.h"
#include "store/tdatmod.h"

namespace zn {

ProblemsArea::ProblemsArea(AreaWindow& form, TDatMod& dm, QObject* parent)
    : QObject(parent), form_(form), dm_(dm) {
    repairs_ = std::make_unique<Repairs>(dm_, form_.feedback(), [this] { form_.TreeObnov(); });

    // The panel: beside the tree, hidden until asked for.
    panel_ = new ProblemsPanel(&form_);
    panel_->setFeatures(QDockWidget::DockWidgetClosable);
    form_.addSidePanel(panel_, kPanelWidth);
    panelAction_ = panel_->toggleViewAction();
    panelAction_->setObjectName(QStringLiteral("ActProblems"));
    panelAction_->setText(QStringLiteral("Проблемы"));
    panelAction_->setToolTip(
        QStringLiteral("Проблемы базы: вопросы, на которые нельзя ответить "
                       "правильно, нумерация, записи без владельца"));
    panelAction_->setIcon(form_.style()->standardIcon(QStyle::SP_MessageBoxWarning));
    form_.addToolAction(panelAction_, QStringLiteral("ToolButtonProblems"));

    findAction_ = new QAction(QStringLiteral("Найти вопрос"), &form_);
    findAction_->setObjectName(QStringLiteral("ActFind"));
    findAction_->setShortcut(QKeySequence::Find);
    findAction_->setShortcutContext(Qt::WindowShortcut);
    form_.addAction(findAction_);

    QMenu* menu = form_.addMenu(QStringLiteral("&Сервис"), QStringLiteral("MenuService"));
    menu->addAction(panelAction_);
    menu->addAction(findAction_);

    // The search box above the tree.
    search_ = new SearchBox();
    form_.addAboveTree(search_);
    search_->setIndex([this] { return searchIndex(); });
    connect(findAction_, &QAction::triggered, this, [this] {
        search_->edit()->setFocus(Qt::ShortcutFocusReason);
        search_->edit()->selectAll();
    });
    connect(search_, &SearchBox::hitActivated, this, [this](const problems::SearchHit& hit) {
        runGuarded([&] { selectNode(hit.topicPos, hit.questionPos); });
    });

    connect(panel_, &ProblemsPanel::visibilityChangedTo, this, [this](bool visible) {
        if (visible) runGuarded([this] { recheck(); });
    });
    connect(panel_, &ProblemsPanel::problemActivated, this,
            [this](const problems::Problem& p) { runGuarded([&] { goTo(p); }); });
    connect(panel_, &ProblemsPanel::recheckClicked, this,
            [this] { runGuarded([this] { recheck(); }); });
    connect(panel_, &ProblemsPanel::renumberQuestionsClicked, this,
            [this](qint64 numtema) { renumberQuestions(numtema); });
    connect(panel_, &ProblemsPanel::renumberTopicsClicked, this, [this] { renumberTopics(); });
    connect(panel_, &ProblemsPanel::recountClicked, this, [this] { recount(); });
    connect(panel_, &ProblemsPanel::deleteOrphansClicked, this, [this] { deleteOrphans(); });

    // Every command ends with the tree rebuild; the start-up build and opening a database too.
    connect(&form_, &AreaWindow::bankChanged, this, &ProblemsArea::bankChanged);
}

ProblemsArea::~ProblemsArea() = default;

void ProblemsArea::bankChanged() {
    index_.reset();
    if (panel_->isVisible()) recheck();
    if (!search_->edit()->text().isEmpty()) search_->refresh();
}

void ProblemsArea::recheck() {
    panel_->setRepairsEnabled(form_.editingEnabled() && dm_.Conn.isOpen() && !dm_.readOnly());
    if (!dm_.Conn.isOpen()) {
        panel_->setProblems({});
        return;
    }
    try {
        const problems::BankRows rows = problems::readBankRows(dm_.Conn.database());
        panel_->setProblems(problems::check(rows, form_.session().dataFolder, &pictures_));
        index_.emplace(rows);
    } catch (const std::exception& e) {
        panel_->showError(QString::fromUtf8(e.what()));
    }
}

const problems::SearchIndex* ProblemsArea::searchIndex() {
    if (!index_ && dm_.Conn.isOpen()) {
        try {
            index_.emplace(problems::readBankRows(dm_.Conn.database()));
        } catch (const std::exception&) {
            return nullptr;
        }
    }
    return index_ ? &*index_ : nullptr;
}

bool ProblemsArea::selectNode(int topicPos, int questionPos) {
    QTreeWidget* tree = form_.treeDb();
    if (topicPos < 1 || topicPos > tree->topLevelItemCount()) return false;
    QTreeWidgetItem* node = tree->topLevelItem(topicPos - 1);
    if (questionPos > 0) {
        if (questionPos > node->childCount()) return false;
        node->setExpanded(true);
        node = node->child(questionPos - 1);
    }
    tree->setCurrentItem(node);
    tree->scrollToItem(node);
    return true;
}

void ProblemsArea::goTo(const problems::Problem& p) {
    if (selectNode(p.topicPos, p.questionPos)) return;
    // Rows without their owner have no node; the status panel says which row it is.
    if (p.rowId != 0)
        form_.setStatusText(problems::kindName(p.kind) + QStringLiteral(": запись ") +
                            QString::number(p.rowId));
}

template <class PlanFn, class DoFn>
void ProblemsArea::runRepair(PlanFn plan, DoFn repair) {
    runGuarded([&] {
        const Repairs::Plan p = plan();
        if (!p.refusal.isEmpty()) {
            Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"), p.refusal);
            return;
        }
        if (p.nothingToDo()) {
            Modal::message(MsgIcon::Information, appTitle(), p.text());
            recheck();
            return;
        }
        if (Modal::message(MsgIcon::Question, QStringLiteral("Исправление"), p.text(), Yes | No) !=
            Yes)
            return;
        repair();
    });
}

void ProblemsArea::renumberQuestions(qint64 numtema) {
    runRepair([&] { return repairs_->planRenumberQuestions(numtema); },
              [&] { repairs_->renumberQuestions(numtema); });
}

void ProblemsArea::renumberTopics() {
    runRepair([&] { return repairs_->planRenumberTopics(); }, [&] { repairs_->renumberTopics(); });
}

void ProblemsArea::recount() {
    runRepair([&] { return repairs_->planRecount(); }, [&] { repairs_->recount(); });
}

void ProblemsArea::deleteOrphans() {
    runRepair([&] { return repairs_->planDeleteOrphans(); }, [&] { repairs_->deleteOrphans(); });
}

}  // namespace zn
