// Entry point of znatokar: no arguments, no settings; the working folder fixes the database and
// the data folder. Runs the start-up sequence and the event loop until the main window is closed.
#include "imagelist.h"
#include "startup.h"
#include "znapplication.h"

int main(int argc, char** argv) {
    zn::ZnApplication app(argc, argv);
    app.setWindowIcon(zn::ImageList::appIcon());
    zn::Program program;
    return program.run();
}
