// What the preview control needs so that the pages look as a browser would show them.
// The control behind HV is a QTextBrowser, which knows a subset of HTML and CSS; a page is
// adapted to that subset only when it is loaded for display, the page text itself (what
// VoptoStrUniv returns and the topic summary holds) stays exactly as built.
#pragma once

#include <QString>
#include <QTextBrowser>

namespace zn {

// The text to give the HTML view for `html`. Two things differ from the input:
// - inside tags, an unquoted CSS url(...) argument is put in single quotes: QTextBrowser's CSS
//   scanner refuses unquoted URLs with "%" in them and then drops the whole style attribute
//   (borders included), while the page writes every file reference percent-encoded;
// - a heading directly inside <big> ("<big><h3>") gets a font size one step larger than its
//   level's: QTextBrowser gives a heading its fixed size whatever the enclosing <big> says,
//   where a browser scales it.
// Everything else, markup in question and answer texts included, passes unchanged.
QString htmlForView(const QString& html);

// The preview control: a QTextBrowser that shows a picture wider than its page at the page's
// width (in its proportions), where a browser would make the reader scroll sideways.
class HtmlView : public QTextBrowser {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HtmlView)

  public:
    explicit HtmlView(QWidget* parent = nullptr) : QTextBrowser(parent) {}
    QVariant loadResource(int type, const QUrl& name) override;
    // The widest picture shown whole: the page's width less its margins.
    int pictureRoom() const;
};

}  // namespace zn
