// The bus tab at 9600 baud against the simulated controller with wire time on
// (each reply leaves when its bytes would have crossed a real wire, and a
// station hears only its own rate):
//  - a full scan of 247 addresses at 9600 on a line whose only station (0x2A)
//    listens at 19200, so nobody answers: seconds per rate;
//  - a configuration write of a full set (6 parameters and 31 IO entries) to a
//    station at 9600, with the read-back that follows: the time, and the share
//    of it the bytes spent on the wire.
#include "bench_util.h"
#include "dialogs.h"
#include "exchange/exchange_monitor.h"
#include "frm_main.h"
#include "link/mscomm.h"
#include "sim/sim_server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct FileDialogs : Dialogs
{
    QString openFileName(QWidget *, const QString &, const QString &) override { return path; }
    void message(QWidget *, const QString &text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    QString path;
};

template<typename T>
T *control(FrmMain &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // One line with a station that listens at 19200 only, one with a station at 9600.
    SimServer silent(SimConfig{.address = 0x2A, .baudRate = 19200});
    SimServer station(SimConfig{.address = 0x05, .baudRate = 9600});
    for (SimServer *simulator : {&silent, &station}) {
        simulator->setWireTime(true);
        if (!simulator->openPseudoTerminal()) {
            std::fprintf(stderr, "bench_scan: no pseudo-terminal\n");
            return 2;
        }
    }
    FrmMain window;
    auto *dialogs = new FileDialogs;
    window.setDialogs(std::unique_ptr<Dialogs>(dialogs));
    window.portNames().setMapping(1, silent.devicePath());
    window.resize(1280, 800);
    window.show();
    window.openPort();

    // The scan, 01 to F7: 0x2A listens at 19200, so nobody answers.
    auto *rates = control<QListWidget>(window, "scanBauds");
    for (int i = 0; i < rates->count(); ++i)
        rates->item(i)->setCheckState(rates->item(i)->text() == u"9600" ? Qt::Checked
                                                                        : Qt::Unchecked);
    QElapsedTimer clock;
    clock.start();
    control<QPushButton>(window, "scanStart")->click();
    waitFor([&] { return control<QPushButton>(window, "scanStart")->isEnabled(); }, 60000);
    const double scanSeconds = double(clock.elapsed()) / 1000;
    std::printf("scan of 247 addresses at 9600 baud, wire time on, nobody answering: %.2f s per"
                " rate (goal at most 6 s; the floor, 247 x (5.2 ms + 15 ms), is 4.99 s)\n",
                scanSeconds);

    // A full set written to 0x05, then read back.
    QTemporaryDir dir;
    dialogs->path = dir.filePath(QStringLiteral("full.conf"));
    QFile file(dialogs->path);
    if (!file.open(QIODevice::WriteOnly))
        return 2;
    file.write("start_speed = 200\nmax_speed = 12000\nend_speed = 900\nacceleration = 20000\n"
               "deceleration = 15000\nhoming_speed = 3000\n");
    for (int code = 1; code <= 31; ++code) {
        QString bits;
        for (int in = 5; in >= 1; --in)
            bits += code & (1 << (in - 1)) ? u'1' : u'0';
        file.write(QStringLiteral("io %1 = 31 04 00 00 %2 10\n")
                           .arg(bits)
                           .arg(code, 2, 16, QLatin1Char('0'))
                           .toLatin1());
    }
    file.close();
    control<QPushButton>(window, "configOpen")->click();
    window.portNames().setMapping(1, station.devicePath());
    window.openPort();
    control<QLineEdit>(window, "Text23")->setText(QStringLiteral("05"));
    qint64 requestBits = 0, replyBits = 0;
    int exchanges = 0;
    QObject::connect(&window.exchanges(), &ExchangeMonitor::exchangeSettled,
                     [&](const Exchange &e) {
                         requestBits += 10 * e.request.size();
                         replyBits += 10 * e.reply.size();
                         ++exchanges;
                     });
    clock.restart();
    control<QPushButton>(window, "configWrite")->click();
    auto *status = control<QLabel>(window, "configStatus");
    waitFor([&] { return status->text().startsWith(u"站 05"); }, 60000);
    const double writeSeconds = double(clock.elapsed()) / 1000;
    // The simulator holds each reply back for its time on the wire; a request
    // crosses the pseudo-terminal at once, so on a real line its wire time adds.
    const double replySeconds = double(replyBits) / 9600;
    const double requestSeconds = double(requestBits) / 9600;
    std::printf("config write and read-back of a full set at 9600 baud, wire time on: %d exchanges"
                " in %.2f s, of it %.2f s replies on the wire (%.0f%%); on a real line the requests"
                " add %.2f s: %.2f s, %.0f%% of it on the wire; %s\n",
                exchanges, writeSeconds, replySeconds, 100 * replySeconds / writeSeconds,
                requestSeconds, writeSeconds + requestSeconds,
                100 * (replySeconds + requestSeconds) / (writeSeconds + requestSeconds),
                qPrintable(status->text()));
    std::printf("reproduce: scripts/bench scan\n");
    return 0;
}
