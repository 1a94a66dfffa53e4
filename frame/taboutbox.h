// The about window TAboutBox: program name, purpose, web site, e-mail, version and year on a
// bevelled panel, closed with "OK". Shown modally through the modal seam. The web site and
// e-mail lines are shown only when the build names them (ZN_HOMEPAGE_URL, ZN_CONTACT_EMAIL).
#pragma once

#include <QDialog>

namespace zn {

class TAboutBox : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAboutBox)

  public:
    static constexpr int kClientWidth = 309;
    static constexpr int kClientHeight = 290;

    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace zn
