// VoraxExtract: the window.
//
//   voraxextract [LISTING]
//
// A listing named on the command line (as the desktop entry passes a file opened from
// a file manager) is opened at start exactly as choosing it with "..." opens it.

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "desktop/MainWindow.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("VoraxExtract");
    QApplication::setOrganizationName("VoraxExtract");
    // Names the installed desktop entry, whose icon the desktop shows for the window.
    QGuiApplication::setDesktopFileName("voraxextract");

    QCommandLineParser parser;
    parser.setApplicationDescription("Exports results of VORAX listings to Excel sheets.");
    parser.addHelpOption();
    parser.addPositionalArgument("listing", "A VORAX listing (.out) to open at start.",
                                 "[listing]");
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fputs("voraxextract: one listing at most\n", stderr);
        return 2;
    }

    vx::desktop::MainWindow window;
    window.show();
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&window, file = files.front()] { window.OpenFile(file); });
    return QApplication::exec();
}
