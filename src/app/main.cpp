// qvo: the desktop program.
//
// SIGTERM, SIGINT and SIGHUP close the windows the way the close box does,
// so the settings are saved on logout or `kill` as on any other end.
// QVO_INI_FILE names the settings file to use instead of the usual one.
#include "core/mdlMain.h"
#include "platform/end_signals.h"
#include "ui/main_windows_qt.h"
#include "ui/ui_translations.h"

#include <QApplication>
#include <QSocketNotifier>

int main(int argc, char **argv)
{
    const int endRequests = qvo::platform::watchEndRequests();
    QApplication app(argc, argv);
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

    qvo::ui::installMainWindows();
    qvo::core::Main();
    app.exec();
    qvo::core::terminateApplication();
}
