// Tallimer on Qt.
#include "platform/qt/windowsystem.h"
#include "ui/controls.h"
#include "ui/program.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(AppTitle.data(), AppTitle.size()));
    platform::QtWindowSystem system;
    return ui::RunProgram(system);
}
