#include "frm_main.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("StepperBench"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
            QApplication::translate("main", "Test and commission a stepper-motor motion "
                                            "controller over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
            QStringLiteral("port"),
            QApplication::translate("main", "Let port COMn (n from 1 to 9) stand for the device "
                                            "PATH, e.g. --port COM1=/dev/ttyUSB0. Repeatable."),
            QStringLiteral("COMn=PATH"));
    parser.addOption(portOption);
    // For the start-up benchmark: quit as soon as the window has been shown.
    QCommandLineOption quitWhenShown(QStringLiteral("quit-when-shown"));
    quitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(quitWhenShown);
    parser.process(app);

    FrmMain window;
    for (const QString &mapping : parser.values(portOption)) {
        QString error;
        if (!window.portNames().addMapping(mapping, &error)) {
            std::fprintf(stderr, "stepperbench: --port %s\n", qPrintable(error));
            return 2;
        }
    }
    window.refreshPortDevice();
    // Qt would open the window at two thirds of the screen; the traffic views
    // deserve the room the screen has.
    const QSize room = window.screen()->availableGeometry().size() * 0.95;
    window.resize(window.sizeHint().boundedTo(room).expandedTo(window.minimumSizeHint()));
    window.show();
    if (parser.isSet(quitWhenShown))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
