// brisa-bench-bare: a bare Qt Widgets window, the yardstick the start-up and
// memory measurements compare brisamail with. It ends the same way the
// program does under BRISAMAIL_EXIT_WHEN_SHOWN: 1 quits as soon as the event
// loop has shown the window, a larger number after that many milliseconds.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Bare window");
    window.resize(480, 300);
    window.show();
    if (const int exitAfter = qEnvironmentVariableIntValue("BRISAMAIL_EXIT_WHEN_SHOWN");
        exitAfter > 0)
        QTimer::singleShot(exitAfter == 1 ? 0 : exitAfter, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
