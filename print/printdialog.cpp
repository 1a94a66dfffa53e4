// The print dialog (see printdialog.h).
#include "print/printdialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

#include "frame/formstyle.h"

namespace zn::print {

QString topicList(const std::vector<qint64>& topics) {
    QStringList parts;
    for (qint64 t : topics) parts << QString::number(t);
    return parts.join(QStringLiteral(", "));
}

namespace {

template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QSpinBox* spin(const char* name, int min, int max, int value) {
    auto* s = named(new QSpinBox, name);
    s->setRange(min, max);
    s->setValue(std::clamp(value, min, max));
    return s;
}

}  // namespace

PrintDialog::PrintDialog(const std::vector<qint64>& selectedTopics, const Options& choices,
                         const QString& okText, QWidget* parent)
    : QDialog(parent), selected_(selectedTopics) {
    setObjectName(QStringLiteral("PrintDialog"));
    setWindowTitle(QStringLiteral("Печать теста"));
    setFont(formFont());

    auto* what = named(new QGroupBox(QStringLiteral("Что печатать")), "GroupWhat");
    RadioBank = named(new QRadioButton(QStringLiteral("Весь банк вопросов")), "RadioBank");
    RadioTopics =
        named(new QRadioButton(selected_.empty()
                                   ? QStringLiteral("Выбранные темы (в дереве "
                                                    "не выбрано ни одной)")
                                   : QStringLiteral("Выбранные темы: ") + topicList(selected_)),
              "RadioTopics");
    RadioVariants = named(new QRadioButton(QStringLiteral("Варианты теста: вопросы "
                                                          "вразброс, ответы перемешаны")),
                          "RadioVariants");

    SpinPerTopic = spin("SpinPerTopic", 1, 1000, choices.perTopic);
    CheckSelectedOnly =
        named(new QCheckBox(QStringLiteral("только из выбранных тем")), "CheckSelectedOnly");
    SpinVariants = spin("SpinVariants", 1, 100, choices.variants);
    SpinSeed = spin("SpinSeed", 0, std::numeric_limits<int>::max(),
                    int(std::min<quint32>(choices.seed, std::numeric_limits<int>::max())));
    SpinSeed->setToolTip(
        QStringLiteral("Шифр печатается на каждом варианте: с тем же шифром и теми же "
                       "настройками получается тот же вариант. Вариант k имеет шифр на k − 1 "
                       "больше."));
    ButtonNewSeed = named(new QPushButton(QStringLiteral("Другой")), "ButtonNewSeed");

    auto* seedRow = new QHBoxLayout;
    seedRow->addWidget(SpinSeed, 1);
    seedRow->addWidget(ButtonNewSeed);
    auto* perTopicRow = new QHBoxLayout;
    perTopicRow->addWidget(SpinPerTopic);
    perTopicRow->addWidget(CheckSelectedOnly, 1);
    auto* variants = new QFormLayout;
    variants->setContentsMargins(24, 0, 0, 0);
    variants->addRow(QStringLiteral("Вопросов из каждой темы:"), perTopicRow);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(SpinVariants);
    countRow->addStretch(1);
    variants->addRow(QStringLiteral("Число вариантов:"), countRow);
    variants->addRow(QStringLiteral("Шифр:"), seedRow);

    auto* whatLayout = new QVBoxLayout(what);
    whatLayout->addWidget(RadioBank);
    whatLayout->addWidget(RadioTopics);
    whatLayout->addWidget(RadioVariants);
    whatLayout->addLayout(variants);

    CheckKey =
        named(new QCheckBox(QStringLiteral("Ключ ответов (на отдельных страницах)")), "CheckKey");
    CheckPictures = named(new QCheckBox(QStringLiteral("Рисунки")), "CheckPictures");
    CheckKey->setChecked(choices.key);
    CheckPictures->setChecked(choices.pictures);

    ButtonOk = named(new QPushButton(okText), "ButtonOk");
    ButtonOk->setDefault(true);
    ButtonCancel = named(new QPushButton(QStringLiteral("Отмена")), "ButtonCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(what);
    layout->addWidget(CheckKey);
    layout->addWidget(CheckPictures);
    layout->addLayout(buttons);

    RadioTopics->setEnabled(!selected_.empty());
    CheckSelectedOnly->setChecked(!selected_.empty());
    switch (choices.scope) {
        case Scope::Bank:
            RadioBank->setChecked(true);
            break;
        case Scope::Topics:
            (selected_.empty() ? RadioBank : RadioTopics)->setChecked(true);
            break;
        case Scope::Variants:
            RadioVariants->setChecked(true);
            break;
    }

    connect(RadioVariants, &QRadioButton::toggled, this, [this] { updateEnabled(); });
    connect(ButtonNewSeed, &QPushButton::clicked, this,
            [this] { SpinSeed->setValue(int(newSeed())); });
    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateEnabled();
}

PrintDialog::~PrintDialog() = default;

void PrintDialog::updateEnabled() {
    const bool variants = RadioVariants->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{SpinPerTopic, SpinVariants, SpinSeed, ButtonNewSeed})
        w->setEnabled(variants);
    CheckSelectedOnly->setEnabled(variants && !selected_.empty());
}

Options PrintDialog::options() const {
    Options o;
    o.scope = RadioVariants->isChecked()                       ? Scope::Variants
              : RadioTopics->isChecked() && !selected_.empty() ? Scope::Topics
                                                               : Scope::Bank;
    if (o.scope == Scope::Topics || (o.scope == Scope::Variants && CheckSelectedOnly->isChecked()))
        o.topics = selected_;
    o.perTopic = SpinPerTopic->value();
    o.variants = SpinVariants->value();
    o.seed = quint32(SpinSeed->value());
    o.key = CheckKey->isChecked();
    o.pictures = CheckPictures->isChecked();
    return o;
}

}  // namespace zn::print
