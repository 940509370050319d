// BrisaMail: records a voice message and sends it.
#include "app/composition.h"

#include "platform/icons.h"
#include "platform/linux/display_check.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    // The windows follow the display's dpi themselves (large-font layout).
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    if (!brisa::CheckDisplay(argc, argv)) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("brisamail");
    QApplication::setApplicationDisplayName("BrisaMail");
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(brisa::ProgramIcon("ID_NORMAL"));

    brisa::Program program(brisa::CommandLine(argc, argv));
    if (!program.Start()) return 0;
    // For start-up measurements: BRISAMAIL_EXIT_WHEN_SHOWN=1 ends the program
    // as soon as the event loop has shown the window; a larger number is how
    // many milliseconds it stays idle before it ends.
    if (const int exitAfter = qEnvironmentVariableIntValue("BRISAMAIL_EXIT_WHEN_SHOWN");
        exitAfter > 0)
        QTimer::singleShot(exitAfter == 1 ? 0 : exitAfter, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
