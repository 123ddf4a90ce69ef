// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Creates the window with its real services, loads, shows, and runs until it is closed.
#include "clock.h"
#include "filedialog.h"
#include "settingsfile.h"
#include "shutdownsignals.h"
#include "tollwk.h"
#include "wavplayer.h"
#include "windowsystemchoice.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    // Read by Qt when the application object is made, so decided before it.
    WindowSystemChoice::apply(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollwick"));
    QApplication::setApplicationVersion(QStringLiteral(TOLLWICK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(TOLLWICK_APP_ID));
    // One look everywhere: the form's fixed geometry was laid out for it.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    SystemClock clock;
    WavPlayer sound(&app);
    QtFileDialog dialog;
    tollwk window(clock, sound, dialog, defaultSettingsPath());

    // Logging out, shutting down or a kill from a terminal close the window as its close
    // button does, so the settings are saved.
    ShutdownSignals shutdown(&app);
    QObject::connect(&shutdown, &ShutdownSignals::received, &window, [&window] {
        window.close();
        // Also leaves the loop of a file dialog that may be open.
        QCoreApplication::quit();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.close(); });

    window.Form_Load();
    window.show();
    const int status = app.exec();
    // The window has gone; the close's save may still wait for another copy's lock or a slow
    // disk, so the process ends when it is done. A close whose save failed has already said
    // why in the log; the exit status says so as well, for a session manager or a script
    // that ran the program.
    const bool saved = window.lastSaveSucceeded();
    return status != 0 ? status : saved ? 0 : 1;
}
