#include "built_in_simulator.h"
#include "first_paint.h"
#include "frm_main.h"
#include "language.h"
#include "link/port_names.h"
#include "sim/sim_server.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <future>
#include <memory>
#include <optional>

#ifdef STEPPERBENCH_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace {

// The program's options, as --help lists them.
struct Options
{
    QCommandLineOption port{QStringLiteral("port"),
                            QApplication::translate("main",
                                                    "Let port COMn (n from 1 to 9) stand for the "
                                                    "device PATH, e.g. --port COM1=/dev/ttyUSB0. "
                                                    "Repeatable."),
                            QStringLiteral("COMn=PATH")};
    QCommandLineOption simulator{QStringLiteral("simulator"),
                                 QApplication::translate("main",
                                                         "Start the simulated controller in the "
                                                         "program and let COM1 stand for it.")};
    QCommandLineOption open{
            QStringLiteral("open"),
            QApplication::translate("main", "Open the port at start, as \"打开\" does.")};
    QCommandLineOption reset{QStringLiteral("reset-settings"),
                             QApplication::translate("main",
                                                     "Forget every setting kept from earlier "
                                                     "sessions (window, folders, options, port "
                                                     "settings).")};
    // For the start-up benchmark: report the window's first paint and quit.
    QCommandLineOption quitWhenShown{QStringLiteral("quit-when-shown")};
};

void describeApplication()
{
    QApplication::setApplicationName(QStringLiteral("StepperBench"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // The desktop entry's name: Wayland compositors find the icon through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.stepperbench.StepperBench"));
}

void addOptions(QCommandLineParser &parser, Options &options)
{
    parser.setApplicationDescription(
            QApplication::translate("main",
                                    "Test and commission a stepper-motor motion "
                                    "controller over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    options.quitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    for (const QCommandLineOption &option :
         {options.port, options.simulator, options.open, options.reset, options.quitWhenShown})
        parser.addOption(option);
}

// The simulated controller answers on a pseudo-terminal of its own, which COM1
// then stands for; it outlives the window. False when it could not start.
bool startSimulator(std::unique_ptr<SimServer> &simulator)
{
    Result<std::unique_ptr<SimServer>> started = startBuiltInSimulator();
    if (!started) {
        std::fprintf(stderr, "stepperbench: cannot start the simulated controller: %s\n",
                     qPrintable(started.error()));
        return false;
    }
    simulator = std::move(started).value();
    return true;
}

// Every --port read before anything else is done: a usage error ends the
// program with no setting forgotten, restored or written.
bool checkPorts(const QStringList &mappings)
{
    PortNames names;
    for (const QString &mapping : mappings) {
        if (const Status added = names.addMapping(mapping); !added) {
            std::fprintf(stderr, "stepperbench: --port %s\n", qPrintable(added.error()));
            return false;
        }
    }
    return true;
}

// The port names of --port (checked by checkPorts) and --simulator.
void mapPorts(FrmMain &window, const QStringList &mappings, const SimServer *simulator)
{
    for (const QString &mapping : mappings)
        static_cast<void>(window.portNames().addMapping(mapping)); // checkPorts() took them all
    if (simulator) {
        // Translated where it is shown, so that it follows the window's language.
        window.portNames().setMapping(
                1, simulator->devicePath(),
                QString::fromUtf8(QT_TRANSLATE_NOOP("ToolTab", "模拟控制器")));
    }
    window.refreshPortDevice();
}

void showWindow(FrmMain &window, bool placed, FirstPaint *firstPaint)
{
    // Qt would open the window at two thirds of the screen; the traffic views
    // deserve the room the screen has.
    if (!placed)
        window.fitToScreen();
    if (firstPaint)
        window.installEventFilter(firstPaint);
    window.show();
    // The icon of a window not installed; the first paint does not wait for it.
    QTimer::singleShot(0, qApp, [] {
        QApplication::setWindowIcon(QPixmap(QStringLiteral(":/stepperbench.png")));
    });
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef STEPPERBENCH_FONTCONFIG
    // The font configuration (some sixty files parsed and the font caches
    // mapped: 5 to 10 ms) is read while QApplication connects to the display,
    // instead of when the window measures its first caption.
    std::future<void> fontsRead = std::async(std::launch::async, [] { FcInit(); });
#endif
    QApplication app(argc, argv);
    describeApplication();
    QCommandLineParser parser;
    Options options;
    addOptions(parser, options);
#ifdef STEPPERBENCH_FONTCONFIG
    // Done before anything may end the program (--help, --version), so that no
    // thread is left reading as it ends, and before the first text is measured,
    // which would have Qt read it all again.
    fontsRead.wait();
#endif
    parser.process(app);

    if (!checkPorts(parser.values(options.port)))
        return 2;
    std::unique_ptr<SimServer> simulator;
    if (parser.isSet(options.simulator) && !startSimulator(simulator))
        return 1;
    if (parser.isSet(options.reset))
        FrmMain::resetSettings();
    installLanguage(Language::Chinese); // Qt's dialogs too; the settings may switch
    FrmMain::readPictureAhead(); // decoded while the window's widgets are made
    // Shown beside the port selector of the first view, but not waited for:
    // listed while the window is being built.
    PortNames::listSystemPortsAhead();
    FrmMain window;
    const bool placed = window.restoreSettings();
    mapPorts(window, parser.values(options.port), simulator.get());
    FirstPaint firstPaint;
    showWindow(window, placed, parser.isSet(options.quitWhenShown) ? &firstPaint : nullptr);
    if (parser.isSet(options.open))
        window.openPort();
    return app.exec();
}
