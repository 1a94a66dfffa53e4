// The problems area (see problemsarea.h).
#include "problems/problemsarea.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "frame/guard.h"
#include "frame/modal.h"
#include "frame/tform1.h"
#include "problems/problemspanel.h"
#include "problems/repairs.h"
#include "problems/searchbox.h"
#include "store/tdatmod.h"

namespace zn {

ProblemsArea::ProblemsArea(TForm1& form, TDatMod& dm, QObject* parent)
    : QObject(parent), form_(form), dm_(dm) {
    repairs_ = std::make_unique<Repairs>(dm_, form_.feedback(), [this] { form_.TreeObnov(); });

    // The panel: a dock beside the tree (left of it in the main window's splitter, so the tool
    // bars keep the window's width), hidden until asked for.
    panel_ = new ProblemsPanel(&form_);
    panel_->setFeatures(QDockWidget::DockWidgetClosable);
    panel_->hide();
    splitter_ = form_.findChild<QSplitter*>(QStringLiteral("Splitter1"));
    if (splitter_) {
        splitter_->insertWidget(0, panel_);
        splitter_->setStretchFactor(0, 0);
    } else {
        form_.addDockWidget(Qt::LeftDockWidgetArea, panel_);
    }
    panelAction_ = panel_->toggleViewAction();
    panelAction_->setObjectName(QStringLiteral("ActProblems"));
    panelAction_->setText(QStringLiteral("Проблемы"));
    panelAction_->setToolTip(
        QStringLiteral("Проблемы базы: вопросы, на которые нельзя ответить "
                       "правильно, нумерация, записи без владельца"));
    panelAction_->setIcon(form_.style()->standardIcon(QStyle::SP_MessageBoxWarning));
    if (auto* bar = form_.findChild<QToolBar*>(QStringLiteral("ToolBar1"))) {
        bar->addSeparator();
        bar->addAction(panelAction_);
        if (QWidget* button = bar->widgetForAction(panelAction_))
            button->setObjectName(QStringLiteral("ToolButtonProblems"));
    }

    findAction_ = new QAction(QStringLiteral("Найти вопрос"), &form_);
    findAction_->setObjectName(QStringLiteral("ActFind"));
    findAction_->setShortcut(QKeySequence::Find);
    findAction_->setShortcutContext(Qt::WindowShortcut);
    form_.addAction(findAction_);

    // The menu "Сервис" before "Помощь".
    QMenuBar* bar = form_.menuBar();
    auto* menu = new QMenu(QStringLiteral("&Сервис"), bar);
    menu->setObjectName(QStringLiteral("MenuService"));
    menu->addAction(panelAction_);
    menu->addAction(findAction_);
    QAction* before = nullptr;
    if (auto* help = form_.findChild<QMenu*>(QStringLiteral("MenuHelp")))
        before = help->menuAction();
    bar->insertMenu(before, menu);

    // The search box above the tree.
    search_ = new SearchBox(form_.treeDb()->parentWidget());
    if (auto* layout = qobject_cast<QVBoxLayout*>(form_.treeDb()->parentWidget()->layout()))
        layout->insertWidget(0, search_);
    search_->setIndex([this] { return searchIndex(); });
    connect(findAction_, &QAction::triggered, this, [this] {
        search_->edit()->setFocus(Qt::ShortcutFocusReason);
        search_->edit()->selectAll();
    });
    connect(search_, &SearchBox::hitActivated, this, [this](const problems::SearchHit& hit) {
        runGuarded([&] { selectNode(hit.topicPos, hit.questionPos); });
    });

    connect(panel_, &ProblemsPanel::visibilityChangedTo, this, [this](bool visible) {
        if (!visible) return;
        // Opened: room for the list, taken from the preview.
        if (splitter_ && panel_->width() < kPanelWidth) {
            QList<int> sizes = splitter_->sizes();
            if (sizes.size() == 3 && sizes[2] > 2 * kPanelWidth) {
                sizes[2] -= kPanelWidth - sizes[0];
                sizes[0] = kPanelWidth;
                splitter_->setSizes(sizes);
            }
        }
        runGuarded([this] { recheck(); });
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
    auto& hooks = form_.hooks();
    auto follow = [this](std::function<void()> before) {
        return [this, before = std::move(before)] {
            if (before) before();
            bankChanged();
        };
    };
    hooks.treeObnov = follow(std::move(hooks.treeObnov));
    hooks.startupTreeBuild = follow(std::move(hooks.startupTreeBuild));
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
