#include "platform/system.h"
#include "ui/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppTitle);

    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    Form1 form({ticks, clock, [] { return std::make_unique<platform::SystemFileService>(); },
                platform::ApplicationFolder});
    form.Form_Load();
    form.show();
    return app.exec();
}
