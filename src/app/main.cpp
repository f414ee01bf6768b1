// qvo: the desktop program.
//
// SIGTERM, SIGINT and SIGHUP close the windows the way the close box does,
// so the settings are saved on logout or `kill` as on any other end.
// QVO_INI_FILE names the settings file to use instead of the usual one.
// Archives and folders named on the command line go into the window; when
// Qvo already runs with the same settings file, they go to that one.
#include "app/command_line.h"
#include "app/single_instance.h"
#include "core/mdlMain.h"
#include "platform/end_signals.h"
#include "platform/system_folders.h"
#include "settings/clsQvoSettings.h"
#include "ui/main_windows_qt.h"
#include "ui/open_paths.h"
#include "ui/ui_translations.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

std::vector<std::string> argumentsOf(int argc, char **argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

std::string currentFolder()
{
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? std::string("/") : here.string();
}

} // namespace

int main(int argc, char **argv)
{
    // Answered before a display is needed.
    const qvo::app::CommandLine early = qvo::app::parseCommandLine(argumentsOf(argc, argv), currentFolder(), true);
    if (!early.error.empty()) {
        std::fprintf(stderr, "qvo: %s\n%s", early.error.c_str(), qvo::app::commandLineUsage());
        return 2;
    }
    if (early.help) {
        std::fputs(qvo::app::commandLineUsage(), stdout);
        return 0;
    }
    if (early.version) {
        std::printf("qvo %s\n", QVO_VERSION);
        return 0;
    }

    // Without a display the toolkit would end the program by abort(), with
    // a core dump and a text about reinstalling.
    if (!early.platformChosen && qvo::platform::environmentValue("QT_QPA_PLATFORM").empty() &&
        qvo::platform::environmentValue("DISPLAY").empty() &&
        qvo::platform::environmentValue("WAYLAND_DISPLAY").empty()) {
        std::fputs("qvo: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set);\n"
                   "qvo-convert converts archives without one\n",
                   stderr);
        return 1;
    }

    const int endRequests = qvo::platform::watchEndRequests();
    QApplication app(argc, argv);
    // The toolkit took its own options (-platform and the like) out of argv.
    const qvo::app::CommandLine commandLine = qvo::app::parseCommandLine(argumentsOf(argc, argv), currentFolder());
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "qvo: %s\n%s", commandLine.error.c_str(), qvo::app::commandLineUsage());
        return 2;
    }

    qvo::app::SingleInstance instance(qvo::platform::userRuntimeFolder(),
                                      qvo::settings::clsQvoSettings().iniFilePath());
    switch (instance.start(commandLine.paths)) {
    case qvo::app::SingleInstance::Role::handedOver:
        return 0;
    case qvo::app::SingleInstance::Role::noAnswer:
        std::fputs("qvo: Qvo is running but does not answer\n", stderr);
        return 1;
    case qvo::app::SingleInstance::Role::first:
    case qvo::app::SingleInstance::Role::alone:
        break;
    }

    // The end goes through terminateApplication, never through the last
    // window closing.
    app.setQuitOnLastWindowClosed(false);
    // English unless the locale is Japanese (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
    qvo::ui::installTranslations(qvo::platform::uiLanguage());

    if (endRequests >= 0) {
        auto *notifier = new QSocketNotifier(endRequests, QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [endRequests] {
            qvo::platform::takeEndRequest(endRequests);
            QApplication::closeAllWindows();
            // No visible window took the close as the end: end here.
            qvo::core::terminateApplication();
        });
    }

    qvo::ui::QtMainWindows *windows = qvo::ui::installMainWindows();
    qvo::core::Main();
    qvo::ui::OpenRequests requests(*windows);
    instance.onPaths = [&requests](const std::vector<std::string> &paths) { requests.open(paths); };
    if (!commandLine.paths.empty())
        requests.open(commandLine.paths);
    app.exec();
    qvo::core::terminateApplication();
}
