// Entry point: creates the windows in start-up order and runs the event loop until the main
// window is closed.
#include "imagelist.h"
#include "taboutbox.h"
#include "tform1.h"
#include "tform9.h"
#include "znapplication.h"

int main(int argc, char** argv) {
    zn::ZnApplication app(argc, argv);
    app.setWindowIcon(zn::ImageList::appIcon());

    zn::TForm1 form1;
    zn::TAboutBox aboutBox;
    zn::TForm9 form9;
    form1.setAboutBox(&aboutBox);
    form1.setPictureWindow(&form9);

    form1.show();
    return app.exec();
}
