#include "core/platform/console.h"
#include "core/platform/paths.h"
#include "core/shell/startup.h"
#include "gui/common/background_job.h"
#include "gui/shell/main_window.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>

int main(int argc, char** argv) {
    if (!sw::platform::displayAvailable()) {
        std::fprintf(stderr,
                     "sw40512: no display is available (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or set QT_QPA_PLATFORM=offscreen to run it "
                     "without a screen.\n");
        return 1;
    }
    QApplication application(argc, argv);
    // No display name: the platform would append it to every window title, which names the product already.
    QApplication::setApplicationName(QStringLiteral("sw40512"));

    int status = 0;
    {
        sw::gui::MainWindow window(sw::platform::executableFolder());

        // SIGTERM and SIGINT close the main window as its close button does, so the settings are saved;
        // nobody is there to answer a window then, so a failure goes to standard error and to the exit
        // status.
        if (const int termination = sw::platform::terminationDescriptor(); termination >= 0) {
            auto* notifier = new QSocketNotifier(termination, QSocketNotifier::Read, &window);
            QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, termination] {
                sw::platform::takeTermination(termination);
                window.closeOnSignal();
            });
        }

        window.show();
        status = QApplication::exec();
        if (status == 0) {
            status = window.exitStatus();
        }
    }
    // Work the closed windows gave up ends within moments; the program ends after it.
    sw::gui::waitForBackgroundWork();
    return status;
}
