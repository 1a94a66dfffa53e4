// The question editor page TabSh2: the topic and question numbers, the picture switch and name,
// the answer count, the question and six answer rows with their correct-answer marks, and the
// buttons "Записать" and "Скрыть". It only fills itself from a QuestionDraft, reads one back and
// hands it to the question commands; the commands check and write.
//
// Control rules the operations rely on (as the platform's controls behave): setting TrBar's
// position by program limits it to 2..6 and runs TrBarChange only when the position changes;
// checking a radio button by program runs its click operation only when it was unchecked;
// unchecking runs nothing. RB1..RB6 are not one group: each sits alone in its row, clicking a
// checked one leaves it checked, and marking keeps at most one of them checked.
//
// The page is bound to what it was opened for (see questioncommands.h); the tree stays usable
// while it is open, and a selection only empties EdImage and shows the answer area.
#pragma once

#include <QString>
#include <QWidget>
#include <array>

#include "editor/questioncommands.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolButton;

namespace zn {

class AreaWindow;
class AnswerRowsBox;

class QuestionEditor : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuestionEditor)

  public:
    // Colours of the page (the program's colour values): panels 15138815, answer rows 13303807,
    // an unmarked answer box 15793151, the marked one 15532012.
    static QColor panelColour();
    static QColor rowColour();
    static QColor answerColour();
    static QColor markedAnswerColour();

    // The picture dialog's filter.
    static constexpr const char16_t* kPictureFilter =
        u"All (*.bmp;*.png;*.png;*.jpg;*.jpeg;*.bmp)|*.bmp;*.png;*.png;*.jpg;*.jpeg;*.bmp|"
        u"Portable Network Graphics (*.png)|*.png|JPEG Image File (*.jpg)|*.jpg|"
        u"JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp";
    // Image-list indexes of the tab while adding and while editing.
    static constexpr int kAddImage = 23;
    static constexpr int kEditImage = 24;

    // Builds the page inside the main window's editor page, which it fills. `form` and
    // `commands` must outlive it; the page reads the data folder from the form's session and
    // shows pictures in the form's picture window.
    QuestionEditor(AreaWindow& form, QuestionCommands& commands);
    ~QuestionEditor() override;

    // How the page was last opened: one byte each, set together to opposite values by the two
    // opening commands, both 0 until the first; read by the save.
    unsigned char QuestionAddMode = 0;
    unsigned char QuestionEditMode = 0;

    // --- The operations (objectNames and names as the controls they run on)
    // "Добавить вопрос": the page for a new question of the current topic. Without a topic an
    // "Ошибка" box says to add one first.
    void Butvop1Click();
    // "Редактировать вопрос": the page for the current question. Nothing happens without one.
    // When its picture cannot be loaded the error propagates (the general error report shows
    // it) and the opening stops there; the page then refuses to save until it is opened again.
    void Butvop2Click();
    // RB1Click..RB6Click: marks answer n (1..6) as the correct one.
    void RBClick(int n);
    void RB1Click() { RBClick(1); }
    void RB2Click() { RBClick(2); }
    void RB3Click() { RBClick(3); }
    void RB4Click() { RBClick(4); }
    void RB5Click() { RBClick(5); }
    void RB6Click() { RBClick(6); }
    // Shows the answer rows 1..TrBar's position and highlights that count's label.
    void TrBarChange();
    // lb2Click..lb6Click: TrBar's position := n.
    void lbClick(int n);
    void lb2Click() { lbClick(2); }
    void lb3Click() { lbClick(3); }
    void lb4Click() { lbClick(4); }
    void lb5Click() { lbClick(5); }
    void lb6Click() { lbClick(6); }
    void RadioButton1Click();  // "С изображением": empties the thumbnail, shows the picture row
    void RadioButton2Click();  // "Без изображения": hides the picture row, keeping its contents
    // Chooses the picture file in the data folder; its name goes into EdImage. Then ProvPath.
    void BitBtn3Click();
    // Shows the picture in the picture window (nothing when EdImage is empty): the picture the
    // question was opened with, or for a question stored without one (or a new question) the
    // file named in EdImage. A picture that cannot be loaded propagates its error.
    // "Рисунок «name» не найден": shown in the thumbnail's place when the picture's file is
    // missing.
    static QString missingPictureText(const QString& name);
    void Image7DblClick();
    // "Записать": the save of the question commands; a successful save hides the page. A page
    // opened on another database than the open one is not saved (an "Ошибка" box says so).
    void BitBtn4Click();
    // "Скрыть": hides the editor tab; nothing else changes.
    void BitBtn7Click();

    // The tree selection's effects on the page.
    void clearEdImage();
    void showAnswersPanel();

    // The page's contents and what it was opened for.
    QuestionDraft draft() const;

    // --- Controls
    QGroupBox* GroupBox1 = nullptr;  // "Темы"
    QLabel* lbTema = nullptr;
    QLineEdit* edTema = nullptr;
    QLabel* lbVopros = nullptr;
    QRadioButton* RadioButton1 = nullptr;  // "С изображением"
    QRadioButton* RadioButton2 = nullptr;  // "Без изображения"
    QLineEdit* EdImage = nullptr;
    QToolButton* BitBtn3 = nullptr;
    QSlider* TrBar = nullptr;
    std::array<QLabel*, 5> lb{};    // lb2..lb6
    QGroupBox* GrImage = nullptr;   // "Фото"
    QLabel* Image7 = nullptr;       // the thumbnail
    QGroupBox* GrVopros = nullptr;  // "Вопрос"
    QPlainTextEdit* MemVopr = nullptr;
    QWidget* PanOtv = nullptr;
    QGroupBox* GroupBox4 = nullptr;  // "Ответы"
    std::array<QWidget*, 6> Pan{};
    std::array<QRadioButton*, 6> RB{};
    std::array<QPlainTextEdit*, 6> MemOtv{};
    std::array<QWidget*, 6> PanImg{};
    std::array<QLabel*, 6> Image{};  // the ticks
    QPushButton* BitBtn4 = nullptr;  // "Записать"
    QPushButton* BitBtn7 = nullptr;  // "Скрыть"

  private:
    void showMissingPicture(const QString& name);
    void buildTopBand(QWidget* band);
    void buildQuestionBand(QWidget* band);
    void buildAnswerArea(QWidget* holder);
    void buildButtonBand(QWidget* band);
    void showTab(int image, const QString& caption);
    void setPictureRowVisible(bool visible);

    AreaWindow& form_;
    QuestionCommands& commands_;
    AnswerRowsBox* rowsBox_ = nullptr;
    // What the page was opened for (mode, row ids, numbers) as its opening left it.
    QuestionDraft opened_;
    // The picture the question had when it was opened for editing (empty for a new one).
    QString openedPicture_;
    // The database the page was opened on (its rows' ids mean nothing in another).
    QString openedDatabase_;
    // False while an opening for editing has not got to its end (its picture failed to load):
    // the page then holds a mix of two questions and is not saved.
    bool openedWhole_ = true;
};

}  // namespace zn
