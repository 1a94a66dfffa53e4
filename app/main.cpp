// Entry point of znatokar: no settings; the working folder fixes the database and the data
// folder, unless one argument names the database to open (see startup.h). Runs the start-up
// sequence and the event loop until the main window is closed.
#include <QFile>
#include <QStringList>
#include <cstdio>

#include "app/startup.h"
#include "frame/imagelist.h"
#include "frame/znapplication.h"

int main(int argc, char** argv) {
    zn::ZnApplication app(argc, argv);
    // Qt has taken its own options out of argv.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QFile::decodeName(argv[i]);
    const zn::StartArguments start = zn::StartArguments::parse(arguments);
    if (!start.ok) {
        std::fputs(qPrintable(zn::StartArguments::usage()), stderr);
        return 2;
    }
    app.setWindowIcon(zn::ImageList::appIcon());
    zn::Program program(start.database);
    return program.run();
}
