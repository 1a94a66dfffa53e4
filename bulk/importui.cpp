// The import and export dialogs for every format.
#include "bulk/importui.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <algorithm>

#include "bulk/addimport.h"
#include "bulk/importexport.h"
#include "bulk/importformats.h"
#include "frame/areawindow.h"
#include "frame/dialogfolders.h"
#include "frame/modal.h"
#include "jet/database.h"
#include "store/tdatmod.h"

namespace zn {

namespace {

// The dialogs of exchange files share their folder (bulk/bulkarea.cpp).
const QString kExchangeFiles = QStringLiteral("exchange");
// How many things the export's message names.
constexpr int kShown = 10;

constexpr formats::Format kImportOrder[] = {formats::Format::Exchange, formats::Format::MoodleXml,
                                            formats::Format::Gift,     formats::Format::Aiken,
                                            formats::Format::Csv,      formats::Format::Mdb};
constexpr formats::Format kExportOrder[] = {formats::Format::Exchange, formats::Format::MoodleXml,
                                            formats::Format::Gift, formats::Format::Aiken};

// "Title (*.a, *.b)" with its patterns as the pair form wants them: "Title (*.a;*.b)|*.a;*.b".
QString pairOf(const QString& title) {
    const qsizetype open = title.lastIndexOf(u'(');
    const QString patterns =
        title.mid(open + 1, title.size() - open - 2).remove(u' ').replace(u',', u';');
    return title.left(open).trimmed() + QStringLiteral(" (") + patterns + QStringLiteral(")|") +
           patterns;
}

QByteArray head(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(64 * 1024) : QByteArray();
}

QPlainTextEdit* readOnlyText(const QString& name, const QStringList& lines, QWidget* parent) {
    auto* t = new QPlainTextEdit(parent);
    t->setObjectName(name);
    t->setReadOnly(true);
    t->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    t->setPlainText(lines.join(u'\n'));
    return t;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

ImportReportDialog::ImportReportDialog(const ImportPlan& plan, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ImportReport"));
    setWindowTitle(QStringLiteral("Импорт: %1").arg(QFileInfo(plan.path).fileName()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("%1. Будет импортировано:").arg(formats::formatTitle(plan.format)), this));
    summary_ = readOnlyText(QStringLiteral("ImportSummary"), describePlan(plan), this);
    layout->addWidget(summary_, 2);
    const QStringList problems = problemLines(plan);
    auto* caption = new QLabel(
        problems.isEmpty() ? QStringLiteral("Всё, что есть в файле, будет импортировано.")
                           : QStringLiteral("Не будет импортировано (%1):").arg(problems.size()),
        this);
    caption->setObjectName(QStringLiteral("ImportProblemsCaption"));
    layout->addWidget(caption);
    problems_ = readOnlyText(QStringLiteral("ImportProblems"), problems, this);
    problems_->setVisible(!problems.isEmpty());
    layout->addWidget(problems_, 3);
    auto* buttons = new QDialogButtonBox(this);
    import_ = buttons->addButton(QStringLiteral("Импортировать"), QDialogButtonBox::AcceptRole);
    import_->setObjectName(QStringLiteral("ImportOk"));
    import_->setEnabled(!plan.empty());
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ImportCancel"));
    cancel->setDefault(plan.empty());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 480);
}

ExportTopicsDialog::ExportTopicsDialog(const std::vector<std::pair<qint64, QString>>& topics,
                                       QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ExportTopics"));
    setWindowTitle(QStringLiteral("Экспорт"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Темы, которые будут записаны:"), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ExportTopicList"));
    for (const auto& [number, name] : topics) {
        auto* item =
            new QListWidgetItem(QStringLiteral("Тема %1. %2").arg(number).arg(name), list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        numbers_.push_back(number);
    }
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::vector<qint64> ExportTopicsDialog::chosen() const {
    std::vector<qint64> out;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->checkState() == Qt::Checked) out.push_back(numbers_[size_t(i)]);
    return out;
}

// ---------------------------------------------------------------------------------------------

QString ImportExportUi::importFilter() {
    QStringList parts;
    for (formats::Format f : kImportOrder) parts << pairOf(formats::formatTitle(f));
    parts << QStringLiteral("Все файлы (*)|*");
    return parts.join(u'|');
}

QString ImportExportUi::exportFilter() {
    QStringList parts;
    for (formats::Format f : kExportOrder)
        parts << pairOf(f == formats::Format::Gift ? QStringLiteral("GIFT (*.gift)")
                                                   : formats::formatTitle(f));
    return parts.join(u'|');
}

formats::Format ImportExportUi::exportFormat(int index, const QString& path) {
    if (index >= 0 && index < int(std::size(kExportOrder))) return kExportOrder[index];
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"xml") return formats::Format::MoodleXml;
    if (ext == u"gift") return formats::Format::Gift;
    return formats::Format::Exchange;
}

ImportExportUi::ImportExportUi(AreaWindow& form, TDatMod& dm, BankExchange& exchange)
    : form_(form), dm_(dm), exchange_(exchange) {}

void ImportExportUi::importFile() {
    int filter = -1;
    const QString path = Modal::openFile(
        QString(), dialogFolder(kExchangeFiles, QDir::currentPath()), importFilter(), &filter);
    if (path.isEmpty()) return;
    rememberDialogFolder(kExchangeFiles, path);
    // The filter says what the file is; "every file" (or a dialog that does not say) leaves it
    // to the file's contents.
    const formats::Format format = filter >= 0 && filter < int(std::size(kImportOrder))
                                       ? kImportOrder[filter]
                                       : formats::detectFormat(head(path), path);
    const int how = Modal::choose(
        MsgIcon::Question, QStringLiteral("Импорт"),
        QStringLiteral("Добавить вопросы файла к базе (в темы с теми же названиями) или заменить "
                       "ими все темы и вопросы базы?"),
        {QStringLiteral("Добавить к базе"), QStringLiteral("Заменить базу"),
         QStringLiteral("Отмена")});
    if (how != 0 && how != 1) return;
    const ImportMode mode = how == 0 ? ImportMode::Add : ImportMode::Replace;

    BankImport import(dm_, form_.feedback(), exchange_, [this] { form_.TreeObnov(); });
    const ImportPlan plan = import.plan(path, format, mode, form_.session().dataFolder);
    if (plan.read.refused) {
        Modal::error(problemLines(plan).join(u'\n'));
        return;
    }
    ImportReportDialog report(plan);
    if (Modal::exec(report) != QDialog::Accepted || plan.empty()) return;
    import.run(plan);
}

void ImportExportUi::exportFile() {
    int filter = -1;
    const QString path = Modal::saveFile(
        QString(), dialogFolder(kExchangeFiles, QDir::currentPath()), exportFilter(), &filter);
    if (path.isEmpty()) return;
    rememberDialogFolder(kExchangeFiles, path);
    const formats::Format format = exportFormat(filter, path);
    if (format == formats::Format::Exchange)
        exchange_.exportTo(path);
    else
        exportOther(path, format);
}

void ImportExportUi::exportOther(const QString& path, formats::Format format) {
    if (!dm_.Conn.isOpen() || !dm_.qrtema.isOpen() || dm_.qrtema.recordCount() == 0) return;
    // From the table, not through qrtema: the tree's selection keeps its cursors.
    std::vector<std::pair<qint64, QString>> topics;
    {
        jet::Table& tema = dm_.Conn.database().table("Tema");
        const int num = tema.columnIndex("numtema"), name = tema.columnIndex("tema");
        if (num < 0 || name < 0) return;
        for (auto sc = tema.scan(); sc.next();) {
            const jet::Row& r = sc.row();
            const auto* n = std::get_if<int64_t>(&r[size_t(num)]);
            const auto* t = std::get_if<std::u16string>(&r[size_t(name)]);
            topics.emplace_back(n ? *n : 0, t ? QString::fromStdU16String(*t) : QString());
        }
        std::stable_sort(topics.begin(), topics.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    ExportTopicsDialog choice(topics);
    if (Modal::exec(choice) != QDialog::Accepted) return;
    const std::vector<qint64> chosen = choice.chosen();
    if (chosen.empty()) return;
    const formats::QuestionSet set =
        bankQuestions(dm_.Conn.database(), form_.session().dataFolder, chosen);
    const formats::WriteResult out = formats::write(format, set);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out.bytes) != out.bytes.size() ||
        !file.commit())
        throw BulkError(QStringLiteral("Cannot create file \"%1\". %2")
                            .arg(QFileInfo(path).absoluteFilePath(), file.errorString()));
    QString text = QStringLiteral("Записано вопросов: %1, рисунков: %2.")
                       .arg(set.questions.size())
                       .arg(format == formats::Format::MoodleXml ? set.pictures.size() : 0);
    if (!out.problems.empty()) {
        text += QStringLiteral("\nНе перенесено (%1):").arg(out.problems.size());
        for (size_t i = 0; i < out.problems.size() && i < size_t(kShown); ++i) {
            const QString where = out.problems[i].where.describe();
            text += QStringLiteral("\n— ") +
                    (where.isEmpty() ? out.problems[i].what
                                     : where + QStringLiteral(": ") + out.problems[i].what);
        }
        if (out.problems.size() > size_t(kShown)) text += QStringLiteral("\n…");
    }
    form_.feedback().message(Feedback::Box::Info, text);
}

}  // namespace zn
