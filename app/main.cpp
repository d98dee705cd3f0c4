// VoraxExtract: the window.

#include <QApplication>

#include "desktop/MainWindow.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("VoraxExtract");
    QApplication::setOrganizationName("VoraxExtract");
    vx::desktop::MainWindow window;
    window.show();
    return QApplication::exec();
}
