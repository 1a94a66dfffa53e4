// The import and export dialogs of the main window for every format: which file and what it is
// (the file dialog's filter), replace or add, the report of what will be imported and what will
// not, and for an export to another program's format the topics to write. The commands are
// bulk/addimport.h and bulk/importformats.h; these classes only ask and show, through the modal
// seam (frame/modal.h).
#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

#include "formats/formats.h"

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace zn {

class TDatMod;

class AreaWindow;
class BankExchange;
struct ImportPlan;

// What will be imported and every question that will not, with where and why. Accepted:
// import what fits. The import button is off when nothing would be imported.
class ImportReportDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImportReportDialog)

  public:
    explicit ImportReportDialog(const ImportPlan& plan, QWidget* parent = nullptr);

    QPlainTextEdit* summary() const { return summary_; }
    QPlainTextEdit* problems() const { return problems_; }
    QPushButton* importButton() const { return import_; }

  private:
    QPlainTextEdit* summary_;
    QPlainTextEdit* problems_;
    QPushButton* import_;
};

// The topics an export writes: one checkable line per topic, all checked at first.
class ExportTopicsDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportTopicsDialog)

  public:
    // `topics`: (numtema, name) in number order.
    ExportTopicsDialog(const std::vector<std::pair<qint64, QString>>& topics,
                       QWidget* parent = nullptr);
    // The numbers of the checked topics.
    std::vector<qint64> chosen() const;
    QListWidget* list() const { return list_; }

  private:
    QListWidget* list_;
    std::vector<qint64> numbers_;
};

class ImportExportUi {
  public:
    // The import dialog's filters, in formats::Format order, then every file.
    static QString importFilter();
    // The export dialog's filters: the exchange file, Moodle XML, GIFT, Aiken.
    static QString exportFilter();
    // The format of filter `index` of the export dialog (-1: by the name's extension).
    static formats::Format exportFormat(int index, const QString& path);

    // All must outlive this object.
    ImportExportUi(AreaWindow& form, TDatMod& dm, BankExchange& exchange);

    // "Импорт": the file and its format, replace or add, the report, the import.
    void importFile();
    // "Экспорт": the file and its format; for another program's format, the topics.
    void exportFile();

  private:
    void exportOther(const QString& path, formats::Format format);

    AreaWindow& form_;
    TDatMod& dm_;
    BankExchange& exchange_;
};

}  // namespace zn
