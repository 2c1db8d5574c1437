#include "first_paint.h"
#include "frm_main.h"
#include "language.h"
#include "sim/sim_server.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <future>
#include <memory>

#ifdef STEPPERBENCH_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

int main(int argc, char *argv[])
{
#ifdef STEPPERBENCH_FONTCONFIG
    // The font configuration (some sixty files parsed and the font caches
    // mapped: 5 to 10 ms) is read while QApplication connects to the display,
    // instead of when the window measures its first caption.
    std::future<void> fontsRead = std::async(std::launch::async, [] { FcInit(); });
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("StepperBench"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // The desktop entry's name: Wayland compositors find the icon through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.stepperbench.StepperBench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
            QApplication::translate("main",
                                    "Test and commission a stepper-motor motion "
                                    "controller over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
            QStringLiteral("port"),
            QApplication::translate("main",
                                    "Let port COMn (n from 1 to 9) stand for the device "
                                    "PATH, e.g. --port COM1=/dev/ttyUSB0. Repeatable."),
            QStringLiteral("COMn=PATH"));
    parser.addOption(portOption);
    const QCommandLineOption simulatorOption(
            QStringLiteral("simulator"),
            QApplication::translate("main",
                                    "Start the simulated controller in the program and "
                                    "let COM1 stand for it."));
    parser.addOption(simulatorOption);
    const QCommandLineOption openOption(
            QStringLiteral("open"),
            QApplication::translate("main", "Open the port at start, as \"打开\" does."));
    parser.addOption(openOption);
    const QCommandLineOption resetOption(
            QStringLiteral("reset-settings"),
            QApplication::translate("main",
                                    "Forget every setting kept from earlier sessions (window, "
                                    "folders, options, port settings)."));
    parser.addOption(resetOption);
    // For the start-up benchmark: report the window's first paint and quit.
    QCommandLineOption quitWhenShown(QStringLiteral("quit-when-shown"));
    quitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(quitWhenShown);
#ifdef STEPPERBENCH_FONTCONFIG
    // Done before anything may end the program (--help, --version), so that no
    // thread is left reading as it ends, and before the first text is measured,
    // which would have Qt read it all again.
    fontsRead.wait();
#endif
    parser.process(app);

    // The simulated controller answers on a pseudo-terminal of its own, which
    // COM1 then stands for; it outlives the window.
    std::unique_ptr<SimServer> simulator;
    if (parser.isSet(simulatorOption)) {
        simulator = std::make_unique<SimServer>(SimConfig{});
        if (const Status opened = simulator->openPseudoTerminal(); !opened) {
            std::fprintf(stderr, "stepperbench: cannot start the simulated controller: %s\n",
                         qPrintable(opened.error()));
            return 1;
        }
    }

    if (parser.isSet(resetOption))
        FrmMain::resetSettings();
    installLanguage(Language::Chinese); // Qt's dialogs too; the settings may switch
    FrmMain::readPictureAhead(); // decoded while the window's widgets are made
    // Shown beside the port selector of the first view, but not waited for:
    // listed while the window is being built.
    PortNames::listSystemPortsAhead();
    FrmMain window;
    const bool placed = window.restoreSettings();
    for (const QString &mapping : parser.values(portOption)) {
        if (const Status added = window.portNames().addMapping(mapping); !added) {
            std::fprintf(stderr, "stepperbench: --port %s\n", qPrintable(added.error()));
            return 2;
        }
    }
    if (simulator) {
        // Translated where it is shown, so that it follows the window's language.
        window.portNames().setMapping(1, simulator->devicePath(),
                                      QString::fromUtf8(QT_TRANSLATE_NOOP("ToolTab", "模拟控制器")));
    }
    window.refreshPortDevice();
    // Qt would open the window at two thirds of the screen; the traffic views
    // deserve the room the screen has.
    if (!placed)
        window.fitToScreen();
    FirstPaint firstPaint;
    if (parser.isSet(quitWhenShown))
        window.installEventFilter(&firstPaint);
    window.show();
    // The icon of a window not installed; the first paint does not wait for it.
    QTimer::singleShot(0, &app, [] {
        QApplication::setWindowIcon(QPixmap(QStringLiteral(":/stepperbench.png")));
    });
    if (parser.isSet(openOption))
        window.openPort();
    return app.exec();
}
