// The question editor page: its layout and the operations that run on its controls.
#include "editor/questioneditor.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/picture.h"
#include "frame/areawindow.h"
#include "frame/formstyle.h"
#include "frame/guard.h"
#include "frame/imagelist.h"
#include "frame/modal.h"
#include "frame/tform9.h"
#include "spell/spellbox.h"
#include "store/values.h"

namespace zn {

namespace {

constexpr int kTopBandHeight = 81;
constexpr int kQuestionBandHeight = 60;
constexpr int kButtonBandHeight = 37;
constexpr int kRowHeight = 48;
constexpr int kMarkColumnWidth = 48;
constexpr int kTickColumnWidth = 46;
constexpr int kTickSize = 22;
constexpr int kThumbnailBoxWidth = 60;
constexpr int kLabelLefts[5] = {512, 546, 579, 613, 647};  // lb2..lb6

// The program's colour value (blue, green, red from the low byte up) as a colour.
QColor colourValue(unsigned value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QFont boldFont(QFont font) {
    font.setBold(true);
    return font;
}

// Type 13 pixels high, against the 11 of the form's font.
QFont largeFont(QFont font) {
    font.setPixelSize(13);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    widget->setPalette(pal);
}

void setBaseColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Base, colour);
    widget->setPalette(pal);
}

QLabel* placeLabel(QWidget* parent, const QString& text, int left, int top, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// A memo's whole text, its lines joined by CR LF.
QString memoText(const QPlainTextEdit* memo) {
    QString text = memo->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return text;
}

// Shows `text` in a memo; CR LF, a lone CR and a lone LF each break a line.
void setMemoText(QPlainTextEdit* memo, QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    memo->setPlainText(text);
}

// The green tick of the marked answer, drawn on a transparent ground.
QPixmap tickPicture() {
    QPixmap pixmap(kTickSize, kTickSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(3, 12);
    path.lineTo(9, 18);
    path.lineTo(19, 4);
    p.setPen(QPen(QColor(0, 110, 0), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QColor(40, 200, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    return pixmap;
}

// A radio button that a click only checks: clicking a checked one leaves it checked.
class MarkButton : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

  protected:
    void nextCheckState() override {
        if (!isChecked()) setChecked(true);
    }
};

// A label that reports a click.
class ClickLabel : public QLabel {
  public:
    ClickLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
        : QLabel(text, parent), onClick_(std::move(onClick)) {}

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_();
        QLabel::mouseReleaseEvent(event);
    }

  private:
    std::function<void()> onClick_;
};

// A picture control that reports a double click.
const QString kThumbnailHint = QStringLiteral("Для просотра нажать 2 раза");

class Thumbnail : public QLabel {
  public:
    Thumbnail(QWidget* parent, std::function<void()> onDoubleClick)
        : QLabel(parent), onDoubleClick_(std::move(onDoubleClick)) {}

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) onDoubleClick_();
        QLabel::mouseDoubleClickEvent(event);
    }

  private:
    std::function<void()> onDoubleClick_;
};

}  // namespace

// The group box "Ответы": its visible rows stacked from the top, in number order, each 48 high
// and as wide as the box. Rows that do not fit are cut off at its bottom edge.
class AnswerRowsBox : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;
    std::array<QWidget*, 6> rows{};

    void layoutRows() {
        const QRect inside = contentsRect();
        int top = inside.top();
        for (QWidget* row : rows) {
            if (!row || row->isHidden()) continue;
            row->setGeometry(inside.left(), top, inside.width(), kRowHeight);
            top += kRowHeight;
        }
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QGroupBox::resizeEvent(event);
        layoutRows();
    }
};

QColor QuestionEditor::panelColour() {
    return colourValue(15138815);
}
QColor QuestionEditor::rowColour() {
    return colourValue(13303807);
}
QColor QuestionEditor::answerColour() {
    return colourValue(15793151);
}
QColor QuestionEditor::markedAnswerColour() {
    return colourValue(15532012);
}

QuestionEditor::QuestionEditor(AreaWindow& form, QuestionCommands& commands)
    : QWidget(form.editorPage()), form_(form), commands_(commands) {
    setObjectName(QStringLiteral("QuestionEditor"));
    QWidget* page = form.editorPage();
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* top = new QWidget(this);
    top->setObjectName(QStringLiteral("PanTop"));
    top->setFixedHeight(kTopBandHeight);
    setBackground(top, panelColour());
    buildTopBand(top);
    column->addWidget(top);

    auto* question = new QWidget(this);
    question->setObjectName(QStringLiteral("PanVopros"));
    question->setFixedHeight(kQuestionBandHeight);
    setBackground(question, panelColour());
    buildQuestionBand(question);
    column->addWidget(question);

    // PanOtv fills what is left; hiding it leaves the page's ground there.
    auto* holder = new QWidget(this);
    holder->setObjectName(QStringLiteral("PanOtvHolder"));
    holder->setMinimumSize(0, 0);
    setBackground(holder, panelColour());
    buildAnswerArea(holder);
    column->addWidget(holder, 1);

    auto* buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("PanButtons"));
    buttons->setFixedHeight(kButtonBandHeight);
    setBackground(buttons, panelColour());
    buildButtonBand(buttons);
    column->addWidget(buttons);

    // At start: "Без изображения", the picture row hidden, 3 answers, none marked.
    RadioButton2->setChecked(true);
    setPictureRowVisible(false);
    TrBar->setValue(3);
}

QuestionEditor::~QuestionEditor() = default;

void QuestionEditor::buildTopBand(QWidget* band) {
    auto* fill = new QVBoxLayout(band);
    fill->setContentsMargins(0, 0, 0, 0);
    GroupBox1 = new QGroupBox(QStringLiteral("Темы"), band);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    fill->addWidget(GroupBox1);
    QWidget* box = GroupBox1;
    const QFont bold = boldFont(font());
    const QFont number = largeFont(bold);

    placeLabel(box, QStringLiteral("Тема №"), 13, 16, bold)->setObjectName("Label1");
    lbTema = new QLabel(box);
    lbTema->setObjectName(QStringLiteral("lbTema"));
    lbTema->setFont(number);
    setTextColour(lbTema, Qt::blue);
    lbTema->setGeometry(64, 15, 20, 16);

    placeLabel(box, QStringLiteral("Название :"), 85, 16, bold)->setObjectName("Label2");
    edTema = new QLineEdit(box);
    edTema->setObjectName(QStringLiteral("edTema"));
    edTema->setReadOnly(true);
    edTema->setGeometry(152, 12, 349, 21);

    placeLabel(box, QStringLiteral("Вопрос №"), 13, 48, bold)->setObjectName("Label3");
    lbVopros = new QLabel(box);
    lbVopros->setObjectName(QStringLiteral("lbVopros"));
    lbVopros->setFont(number);
    setTextColour(lbVopros, Qt::blue);
    lbVopros->setGeometry(80, 46, 60, 16);

    // One group: the two are the box's only radio buttons.
    RadioButton2 = new QRadioButton(QStringLiteral("Без изображения"), box);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(152, 36, 109, 17);
    RadioButton1 = new QRadioButton(QStringLiteral("С изображением"), box);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(152, 56, 109, 17);
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) RadioButton1Click();
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) RadioButton2Click();
    });

    EdImage = new QLineEdit(box);
    EdImage->setObjectName(QStringLiteral("EdImage"));
    EdImage->setGeometry(272, 44, 137, 21);
    BitBtn3 = new QToolButton(box);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    BitBtn3->setGeometry(408, 43, 29, 23);
    connect(BitBtn3, &QToolButton::clicked, this,
            [this] { runGuarded([this] { BitBtn3Click(); }); });

    placeLabel(box, QStringLiteral("Ответов :"), 444, 40, bold)->setObjectName("Label4");
    TrBar = new QSlider(Qt::Horizontal, box);
    TrBar->setObjectName(QStringLiteral("TrBar"));
    TrBar->setGeometry(504, 16, 157, 33);
    TrBar->setRange(QuestionDraft::kMinAnswers, QuestionDraft::kMaxAnswers);
    TrBar->setSingleStep(1);
    TrBar->setPageStep(1);
    TrBar->setTickPosition(QSlider::TicksBelow);
    TrBar->setTickInterval(1);
    // The start value 3 is set by the constructor, after every row exists.
    TrBar->setValue(QuestionDraft::kMinAnswers);
    connect(TrBar, &QSlider::valueChanged, this, [this] { TrBarChange(); });
    // The user's scrolling runs it also when the position stays; it gives the same result.
    connect(TrBar, &QSlider::sliderReleased, this, [this] { TrBarChange(); });

    for (int i = 0; i < 5; ++i) {
        const int n = i + 2;
        auto* label = new ClickLabel(QString::number(n), box, [this, n] { lbClick(n); });
        label->setObjectName(QStringLiteral("lb%1").arg(n));
        label->setCursor(Qt::PointingHandCursor);
        label->setGeometry(kLabelLefts[i], 50, 12, 13);
        lb[size_t(i)] = label;
    }
}

void QuestionEditor::buildQuestionBand(QWidget* band) {
    auto* row = new QHBoxLayout(band);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    GrImage = new QGroupBox(QStringLiteral("Фото"), band);
    GrImage->setObjectName(QStringLiteral("GrImage"));
    GrImage->setFixedWidth(kThumbnailBoxWidth);
    auto* inside = new QVBoxLayout(GrImage);
    // The thumbnail fills the box's inside, 56 x 41.
    inside->setContentsMargins(2, 15, 2, 4);
    Image7 = new Thumbnail(GrImage, [this] { runGuarded([this] { Image7DblClick(); }); });
    Image7->setObjectName(QStringLiteral("Image7"));
    Image7->setScaledContents(true);
    Image7->setMinimumSize(1, 1);
    Image7->setToolTip(kThumbnailHint);
    // The text shown in the picture's place when its file is missing.
    Image7->setWordWrap(true);
    Image7->setAlignment(Qt::AlignCenter);
    QFont small = Image7->font();
    small.setPointSize(6);
    Image7->setFont(small);
    setTextColour(Image7, colourValue(255));
    inside->addWidget(Image7);
    row->addWidget(GrImage);

    GrVopros = new QGroupBox(QStringLiteral("Вопрос"), band);
    GrVopros->setObjectName(QStringLiteral("GrVopros"));
    auto* fill = new QVBoxLayout(GrVopros);
    fill->setContentsMargins(2, 2, 2, 2);
    MemVopr = new QPlainTextEdit(GrVopros);
    MemVopr->setObjectName(QStringLiteral("MemVopr"));
    MemVopr->setFont(largeFont(font()));
    MemVopr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemVopr->setMinimumHeight(0);
    // Tab and Shift+Tab move between the fields, as in a form; a tab pasted in stays.
    MemVopr->setTabChangesFocus(true);
    setBaseColour(MemVopr, creamColour());
    fill->addWidget(MemVopr);
    row->addWidget(GrVopros, 1);
}

void QuestionEditor::buildAnswerArea(QWidget* holder) {
    auto* fill = new QVBoxLayout(holder);
    fill->setContentsMargins(0, 0, 0, 0);
    PanOtv = new QWidget(holder);
    PanOtv->setObjectName(QStringLiteral("PanOtv"));
    setBackground(PanOtv, panelColour());
    fill->addWidget(PanOtv);

    auto* inside = new QVBoxLayout(PanOtv);
    inside->setContentsMargins(0, 0, 0, 0);
    rowsBox_ = new AnswerRowsBox(QStringLiteral("Ответы"), PanOtv);
    GroupBox4 = rowsBox_;
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    inside->addWidget(GroupBox4);

    const QPixmap tick = tickPicture();
    for (size_t i = 0; i < 6; ++i) {
        const int n = int(i) + 1;
        auto* row = new QWidget(GroupBox4);
        row->setObjectName(QStringLiteral("Pan%1").arg(n));
        setBackground(row, rowColour());
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(0);

        auto* markColumn = new QWidget(row);
        markColumn->setObjectName(QStringLiteral("PanRB%1").arg(n));
        markColumn->setFixedWidth(kMarkColumnWidth);
        setBackground(markColumn, panelColour());
        auto* mark = new MarkButton(QString::number(n), markColumn);
        mark->setObjectName(QStringLiteral("RB%1").arg(n));
        mark->setAutoExclusive(false);
        mark->setGeometry(10, (kRowHeight - 17) / 2, 32, 17);
        connect(mark, &QRadioButton::toggled, this, [this, n](bool on) {
            if (on) RBClick(n);
        });
        line->addWidget(markColumn);

        auto* memo = new QPlainTextEdit(row);
        memo->setObjectName(QStringLiteral("MemOtv%1").arg(n));
        memo->setTabChangesFocus(true);
        memo->setFont(largeFont(font()));
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setMinimumHeight(0);
        setBaseColour(memo, answerColour());
        line->addWidget(memo, 1);

        auto* tickColumn = new QWidget(row);
        tickColumn->setObjectName(QStringLiteral("PanImg%1").arg(n));
        tickColumn->setFixedWidth(kTickColumnWidth);
        setBackground(tickColumn, panelColour());
        auto* image = new QLabel(tickColumn);
        image->setObjectName(QStringLiteral("Image%1").arg(n));
        image->setPixmap(tick);
        image->setGeometry((kTickColumnWidth - kTickSize) / 2, (kRowHeight - kTickSize) / 2,
                           kTickSize, kTickSize);
        tickColumn->hide();
        line->addWidget(tickColumn);

        Pan[i] = row;
        RB[i] = mark;
        MemOtv[i] = memo;
        PanImg[i] = tickColumn;
        Image[i] = image;
        rowsBox_->rows[i] = row;
    }
}

void QuestionEditor::buildButtonBand(QWidget* band) {
    BitBtn4 = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                              QStringLiteral("Записать"), band);
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    BitBtn4->setGeometry(334, 6, 90, 25);
    BitBtn4->setAutoDefault(false);
    connect(BitBtn4, &QPushButton::clicked, this,
            [this] { runGuarded([this] { BitBtn4Click(); }); });

    BitBtn7 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                              QStringLiteral("Скрыть"), band);
    BitBtn7->setObjectName(QStringLiteral("BitBtn7"));
    BitBtn7->setGeometry(676, 6, 75, 25);
    BitBtn7->setAutoDefault(false);
    connect(BitBtn7, &QPushButton::clicked, this, [this] { BitBtn7Click(); });
}

// --- Opening

void QuestionEditor::showTab(int image, const QString& caption) {
    QTabWidget* tabs = form_.pageControl();
    const int index = tabs->indexOf(form_.editorPage());
    tabs->setTabIcon(index, ImageList::icon(image));
    tabs->setTabText(index, caption);
    form_.setEditorTabVisible(true);
    tabs->setCurrentWidget(form_.editorPage());
}

void QuestionEditor::setPictureRowVisible(bool visible) {
    GrImage->setVisible(visible);
    EdImage->setVisible(visible);
    BitBtn3->setVisible(visible);
}

void QuestionEditor::Butvop1Click() {
    const std::optional<QuestionDraft> d = commands_.draftForNew();
    if (!d) {
        Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"),
                       QStringLiteral("В базе нет ни одной темы. Сначала добавьте тему, затем "
                                      "вопросы в неё."));
        return;
    }
    QuestionEditMode = 0;
    QuestionAddMode = 1;
    opened_ = *d;
    openedPicture_.clear();
    openedDatabase_ = form_.session().databasePath;
    openedWhole_ = true;

    RadioButton2->setChecked(true);
    setPictureRowVisible(false);
    lbTema->setText(QString::number(d->topicNumber));
    lbVopros->setText(QString::number(d->questionNumber));
    edTema->setText(d->topicName);
    TrBar->setValue(d->answerCount);
    MemVopr->clear();
    for (QPlainTextEdit* memo : MemOtv) memo->clear();
    RB[0]->setChecked(true);
    // An opening for editing that stopped at its picture left the answer area hidden.
    showAnswersPanel();
    showTab(kAddImage, QStringLiteral("Добавление вопроса"));
}

void QuestionEditor::Butvop2Click() {
    const std::optional<QuestionDraft> d = commands_.draftOfCurrent();
    if (!d) return;
    QuestionEditMode = 1;
    QuestionAddMode = 0;
    opened_ = *d;
    openedPicture_ = d->picture;
    openedDatabase_ = form_.session().databasePath;
    openedWhole_ = false;

    RadioButton2->setChecked(true);
    setPictureRowVisible(false);
    edTema->setText(d->topicName);
    lbTema->setText(QString::number(d->topicNumber));
    lbVopros->setText(QString::number(d->questionNumber));
    setMemoText(MemVopr, d->question);

    // No answer marked: the ticks hidden and (unlike a marking left over from the last
    // question) no box in the marked colour.
    for (size_t i = 0; i < 6; ++i) {
        MemOtv[i]->clear();
        RB[i]->setChecked(false);
        PanImg[i]->hide();
        setBaseColour(MemOtv[i], answerColour());
    }
    GroupBox4->hide();
    PanOtv->hide();
    for (size_t i = 0; i < 6; ++i) setMemoText(MemOtv[i], d->answers[i]);

    if (d->marked >= 1) {
        RBClick(d->marked);
        RB[size_t(d->marked - 1)]->setChecked(true);
    }

    if (!d->picture.isEmpty()) {
        RadioButton1->setChecked(true);
        RadioButton1Click();
        GrImage->show();
        const QString path = pictureFilePath(form_.session().dataFolder, d->picture);
        if (!QFileInfo::exists(path)) {
            // A missing file does not keep the question closed: the teacher sees so and may
            // choose another picture or none.
            showMissingPicture(d->picture);
        } else {
            // A picture that cannot be read ends the opening here.
            Image7->setPixmap(QPixmap::fromImage(loadPicture(path)));
        }
        EdImage->setText(d->picture);
    } else {
        RadioButton2->setChecked(true);
        RadioButton2Click();
        GrImage->hide();
        Image7->clear();
    }

    TrBar->setValue(d->answerCount);
    GroupBox4->show();
    PanOtv->show();
    showTab(kEditImage, QStringLiteral("Редактирование вопроса"));
    openedWhole_ = true;
}

// --- The controls' operations

void QuestionEditor::RBClick(int n) {
    if (n < 1 || n > 6) return;
    const size_t marked = size_t(n - 1);
    for (size_t i = 0; i < 6; ++i)
        if (i != marked) RB[i]->setChecked(false);
    for (QWidget* column : PanImg) column->hide();
    for (QPlainTextEdit* memo : MemOtv) {
        QFont f = memo->font();
        f.setBold(false);
        memo->setFont(f);
        setBaseColour(memo, answerColour());
    }
    PanImg[marked]->show();
    setBaseColour(MemOtv[marked], markedAnswerColour());
}

void QuestionEditor::TrBarChange() {
    const int n = TrBar->value();
    GroupBox4->hide();
    for (int i = 0; i < 5; ++i) {
        QLabel* label = lb[size_t(i)];
        const bool current = i + 2 == n;
        setTextColour(label, current ? colourValue(16711680) : colourValue(0));
        QFont f = label->font();
        f.setBold(current);
        label->setFont(f);
    }
    for (size_t k = 0; k < 6; ++k) Pan[k]->setVisible(int(k) + 1 <= n);
    rowsBox_->layoutRows();
    GroupBox4->show();
}

void QuestionEditor::lbClick(int n) {
    TrBar->setValue(n);
}

void QuestionEditor::showMissingPicture(const QString& name) {
    const QString text = missingPictureText(name);
    Image7->clear();
    // The thumbnail is small: the text gets the largest size at which it fits whole.
    QFont font = Image7->font();
    const QRect room = Image7->contentsRect().adjusted(1, 1, -1, -1);
    for (int px = 11; px >= 6; --px) {
        font.setPixelSize(px);
        const QRect need =
            QFontMetrics(font).boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, text);
        if (need.width() <= room.width() && need.height() <= room.height()) break;
    }
    Image7->setFont(font);
    Image7->setText(text);
    Image7->setToolTip(text);
    // Said in full where there is room as well.
    form_.setStatusText(text + QStringLiteral(". Выберите другой рисунок или «Без изображения»."));
}

QString QuestionEditor::missingPictureText(const QString& name) {
    return QStringLiteral("Рисунок «%1» не найден").arg(name);
}

void QuestionEditor::RadioButton1Click() {
    Image7->clear();
    Image7->setToolTip(kThumbnailHint);
    setPictureRowVisible(true);
}

void QuestionEditor::RadioButton2Click() {
    setPictureRowVisible(false);
}

void QuestionEditor::BitBtn3Click() {
    QString& dataFolder = form_.session().dataFolder;
    const QString path = Modal::openFile(QString(), dataFolder, QString::fromUtf16(kPictureFilter));
    if (!path.isEmpty()) EdImage->setText(fileNameOfPath(path, u'/'));
    ProvPath(dataFolder);
}

void QuestionEditor::Image7DblClick() {
    if (EdImage->text().isEmpty()) return;
    const QString name = !openedPicture_.isEmpty() && QuestionEditMode == 1
                             ? openedPicture_
                             : zn::trimmedText(EdImage->text());
    const QImage picture = loadPicture(pictureFilePath(form_.session().dataFolder, name));
    if (TForm9* window = form_.pictureWindow()) window->showPicture(QPixmap::fromImage(picture));
}

void QuestionEditor::BitBtn4Click() {
    if (QuestionAddMode != 1 && QuestionEditMode != 1) return;
    if (!openedWhole_) {
        Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"),
                       QStringLiteral("Вопрос открыт не полностью: его изображение не "
                                      "загрузилось. Откройте вопрос снова."));
        return;
    }
    if (openedDatabase_ != form_.session().databasePath) {
        Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"),
                       QStringLiteral("Вопрос был открыт в другой базе (%1), поэтому записать его "
                                      "в открытую базу нельзя.")
                           .arg(openedDatabase_));
        return;
    }
    commands_.save(draft(), [this] { BitBtn7Click(); });
}

void QuestionEditor::BitBtn7Click() {
    form_.setEditorTabVisible(false);
}

void QuestionEditor::clearEdImage() {
    EdImage->clear();
}

void QuestionEditor::showAnswersPanel() {
    PanOtv->show();
    GroupBox4->show();
}

void QuestionEditor::enableSpellChecking(spell::Checker& checker) {
    spell::attachSpellChecking(MemVopr, checker);
    for (QPlainTextEdit* memo : MemOtv) spell::attachSpellChecking(memo, checker);
}

QuestionDraft QuestionEditor::draft() const {
    QuestionDraft d = opened_;
    d.mode = QuestionEditMode == 1  ? QuestionDraft::Mode::Edit
             : QuestionAddMode == 1 ? QuestionDraft::Mode::Add
                                    : QuestionDraft::Mode::None;
    d.topicNumber = lbTema->text().toLongLong();
    d.questionNumber = lbVopros->text().toLongLong();
    d.topicName = edTema->text();
    d.withPicture = RadioButton1->isChecked();
    d.picture = EdImage->text();
    d.answerCount = TrBar->value();
    d.question = memoText(MemVopr);
    for (size_t i = 0; i < 6; ++i) d.answers[i] = memoText(MemOtv[i]);
    d.marked = 0;
    for (size_t i = 0; i < 6; ++i)
        if (RB[i]->isChecked()) d.marked = int(i) + 1;
    return d;
}

}  // namespace zn
