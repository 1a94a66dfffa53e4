// The print dialog: what to print (the whole bank, the topics selected in the tree, or variants
// drawn from them), the variants' questions per topic, their number and seed, the answer key and
// the pictures. It only shows and collects the choices; the print area reads the bank and
// prints. The widgets carry object names so that tests find them.
#pragma once

#include <QDialog>
#include <vector>

#include "print/paper.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace zn::print {

class PrintDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PrintDialog)

  public:
    // `selectedTopics`: the numbers (numtema) of the topics selected in the tree, may be empty;
    // `choices`: what the dialog starts from (the last choices, or the defaults with a new
    // seed); `okText`: the caption of the button that goes on ("Просмотр…", "Сохранить…").
    PrintDialog(const std::vector<qint64>& selectedTopics, const Options& choices,
                const QString& okText, QWidget* parent = nullptr);
    ~PrintDialog() override;

    // The choices as they stand. The topics are the selected ones for "Выбранные темы" and
    // for variants drawn from the selected topics only; otherwise none (every topic).
    Options options() const;

    QRadioButton* RadioBank = nullptr;
    QRadioButton* RadioTopics = nullptr;  // disabled when no topic is selected
    QRadioButton* RadioVariants = nullptr;
    QSpinBox* SpinPerTopic = nullptr;        // questions drawn from each topic
    QCheckBox* CheckSelectedOnly = nullptr;  // draw from the selected topics only
    QSpinBox* SpinVariants = nullptr;        // how many variants
    QSpinBox* SpinSeed = nullptr;            // the seed of variant 1
    QPushButton* ButtonNewSeed = nullptr;    // another seed
    QCheckBox* CheckKey = nullptr;
    QCheckBox* CheckPictures = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

  private:
    void updateEnabled();

    std::vector<qint64> selected_;
};

// "1, 3, 5" of the topic numbers.
QString topicList(const std::vector<qint64>& topics);

}  // namespace zn::print
