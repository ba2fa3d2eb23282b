// The yardstick for the process benchmark: a bare Qt window with the same seven controls
// and a one-second timer that does nothing, or, given --relabel, that only changes the
// label's text as a refresh does.
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Bare");
    window.setFixedSize(233, 137);
    QFont face("Arial");
    face.setPointSizeF(8.25);
    window.setFont(face);
    auto* band = new QFrame(&window);
    band->setGeometry(-8, 0, 249, 17);
    auto* label = new QLabel("Uptime", &window);
    label->setGeometry(0, 8, 233, 33);
    label->setAlignment(Qt::AlignCenter);
    QFont bold("Arial");
    bold.setPointSizeF(9.75);
    bold.setBold(true);
    label->setFont(bold);
    (new QLineEdit("30", &window))->setGeometry(136, 48, 89, 19);
    (new QLabel("Update interval, seconds:", &window))->setGeometry(8, 48, 129, 17);
    (new QPushButton("Start", &window))->setGeometry(144, 72, 81, 25);
    (new QCheckBox("Use file method", &window))->setGeometry(8, 72, 97, 17);
    (new QPushButton("Send To Tray", &window))->setGeometry(144, 104, 81, 25);
    (new QCheckBox("Auto start", &window))->setGeometry(8, 88, 73, 17);
    (new QCheckBox("Auto send to tray", &window))->setGeometry(8, 104, 105, 17);
    QTimer timer;
    int ticks = 0;
    if (QCoreApplication::arguments().contains("--relabel"))
        QObject::connect(&timer, &QTimer::timeout, label, [label, &ticks] {
            label->setText(QString("Uptime: 0d 1h 2m %1s").arg(++ticks % 60));
        });
    timer.start(1000);
    window.show();
    return app.exec();
}
