// The search box (see searchbox.h).
#include "problems/searchbox.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace zn {

SearchBox::SearchBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PanSearch"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("EdSearch"));
    edit_->setPlaceholderText(QStringLiteral("Поиск вопроса (Ctrl+F)"));
    edit_->setClearButtonEnabled(true);
    edit_->installEventFilter(this);
    layout->addWidget(edit_);

    results_ = new QListWidget(this);
    results_->setObjectName(QStringLiteral("ListSearch"));
    results_->setUniformItemSizes(true);
    results_->installEventFilter(this);
    results_->setMaximumHeight(kResultsHeight);
    results_->hide();
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(results_, 1);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("LabSearch"));
    note_->hide();
    layout->addWidget(note_);

    connect(edit_, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(results_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { activate(results_->row(item)); });
}

SearchBox::~SearchBox() = default;

void SearchBox::refresh() {
    const QString query = edit_->text();
    hits_.clear();
    size_t total = 0;
    const problems::SearchIndex* index = index_ ? index_() : nullptr;
    if (index) hits_ = index->find(query, kShownHits, &total);
    results_->clear();
    const bool searching = !query.trimmed().isEmpty();
    results_->setVisible(searching);
    note_->setVisible(searching);
    if (!searching) return;
    QStringList lines;
    lines.reserve(qsizetype(hits_.size()));
    for (const problems::SearchHit& h : hits_)
        lines
            << QStringLiteral("Тема %1, вопрос %2: %3").arg(h.topic).arg(h.question).arg(h.excerpt);
    results_->addItems(lines);
    if (!hits_.empty()) results_->setCurrentRow(0);
    if (total == 0)
        note_->setText(QStringLiteral("Ничего не найдено"));
    else if (total > hits_.size())
        note_->setText(
            QStringLiteral("Найдено: %1, показаны первые %2").arg(total).arg(hits_.size()));
    else
        note_->setText(QStringLiteral("Найдено: %1").arg(total));
}

void SearchBox::activate(int row) {
    if (row >= 0 && size_t(row) < hits_.size()) emit hitActivated(hits_[size_t(row)]);
}

bool SearchBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (watched == edit_ || watched == results_)) {
            activate(std::max(results_->currentRow(), 0));
            return true;
        }
        if (watched == edit_ && key->key() == Qt::Key_Escape) {
            edit_->clear();
            return true;
        }
        if (watched == edit_ && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) &&
            results_->count() > 0) {
            const int step = key->key() == Qt::Key_Down ? 1 : -1;
            results_->setCurrentRow(
                std::clamp(results_->currentRow() + step, 0, results_->count() - 1));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zn
