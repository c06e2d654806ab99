#include "core/shell/startup.h"
#include "gui/shell/main_window.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32

int g_signalPipe[2] = {-1, -1};

void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[0], &byte, 1);
}

bool displayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != 0) {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != 0) || (wayland != nullptr && *wayland != 0);
}
#endif

} // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "sw40512: no display is available (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or set QT_QPA_PLATFORM=offscreen to run it "
                     "without a screen.\n");
        return 1;
    }
#endif
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sw40512"));
    QApplication::setApplicationDisplayName(QStringLiteral("SW40512"));

    sw::gui::MainWindow window(sw::executableFolder());

#ifndef _WIN32
    // SIGTERM and SIGINT close the main window as its close button does, so the settings are saved; nobody
    // is there to answer a window then, so a failure goes to standard error and to the exit status.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, &window);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
            char byte = 0;
            [[maybe_unused]] const auto got = ::read(g_signalPipe[1], &byte, 1);
            window.closeOnSignal();
        });
        struct sigaction action {};
        action.sa_handler = onTerminate;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
#endif

    window.show();
    const int status = QApplication::exec();
    return status != 0 ? status : window.exitStatus();
}
