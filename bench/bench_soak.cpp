// Soak: request and reply exchanges between the real window and the simulated
// controller over a pseudo-terminal, command buttons and run-loop steps mixed.
// Every byte that crossed the line must have passed through SendFrame or
// ShowReceived, every reply must be shown, and resident memory must stay flat.
// Usage: bench_soak [exchanges, default 100000]
#include "bench_util.h"
#include "frm_main.h"
#include "link/mscomm.h"
#include "sim/sim_server.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>

#include <cstdio>

namespace {

// Runs the event loop until \a done, waking only for events (the replies'
// socket notifications), at most \a timeoutMs.
template<typename Done>
bool waitFor(Done done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int exchanges = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;

    SimServer simulator{SimConfig{}};
    if (const Status opened = simulator.openPseudoTerminal(); !opened)
        qFatal("bench_soak: %s", qPrintable(opened.error()));
    FrmMain window;
    window.portNames().setMapping(1, simulator.devicePath());
    // Not shown: the soak is about what crosses the line and what stays in
    // memory, not about painting (the traffic benchmarks measure that).
    window.findChild<QPushButton *>(QStringLiteral("Command32"))->click();
    auto *comm = window.findChild<MSComm *>(QStringLiteral("MSComm1"));
    window.findChild<QListWidget *>(QStringLiteral("List1"))
            ->addItems({QStringLiteral("01 36 00 37 A0 "), QStringLiteral("01 3B 00 33 30 "),
                        QStringLiteral("01 42 00 10 A0 ")});

    qint64 sentThroughWindow = 0, shownByWindow = 0;
    qint64 requestBytes = 0, replyBytes = 0, replies = 0;
    QObject::connect(&window, &FrmMain::frameShown, [&](qsizetype n) { sentThroughWindow += n; });
    QObject::connect(&window, &FrmMain::blockShown, [&](qsizetype n) { shownByWindow += n; });
    QObject::connect(&simulator, &SimServer::exchanged,
                     [&](const QByteArray &request, const QByteArray &reply) {
                         requestBytes += request.size();
                         replyBytes += reply.size();
                         replies += reply.isEmpty() ? 0 : 1;
                     });

    // Queries, settings and stops: every one gets a reply, none moves the motor
    // so far that a later command finds it busy.
    const char *names[] = {"Command12", "Command13", "Command15", "Command17", "Command57",
                           "Command28", "Command30", "Command31", "Command29", "Command94",
                           "Command24", "Command58", "Command66", "Command23"};
    QList<QPushButton *> buttons;
    for (const char *name : names)
        buttons << window.findChild<QPushButton *>(QLatin1String(name));
    QElapsedTimer clock;
    clock.start();
    double residentAfterWarmUp = 0;
    int lost = 0;
    for (int i = 0; i < exchanges; ++i) {
        const qint64 before = replies;
        if (i % 10 == 9)
            window.Timer2_Timer(); // a run-loop step
        else
            buttons[i % buttons.size()]->click();
        // Show the reply as soon as it is there, as the receive poll would.
        const bool answered = waitFor(
                [&] {
                    return replies > before && shownByWindow + comm->inBufferCount() >= replyBytes;
                },
                2000);
        if (!answered)
            ++lost;
        window.Timer1_Timer();
        if (i == 999)
            residentAfterWarmUp = residentMiB();
    }
    waitFor([&] { return comm->inBufferCount() == 0; }, 100);
    const double seconds = double(clock.elapsed()) / 1e3;
    const double residentAtEnd = residentMiB();

    const bool allSent = sentThroughWindow == requestBytes;
    const bool allShown = shownByWindow == replyBytes && comm->inBufferCount() == 0;
    const double growth = residentAtEnd - residentAfterWarmUp;
    std::printf("soak: %d exchanges in %.1f s; bytes sent through SendFrame %lld, received by the"
                " controller %lld (%s); replies %lld, %lld bytes, shown by ShowReceived %lld (%s);"
                " unanswered %d; resident memory %.1f MiB after 1000, %.1f MiB at the end,"
                " growth %.2f MiB (goal: all equal, growth at most 5 MiB)\n",
                exchanges, seconds, sentThroughWindow, requestBytes, allSent ? "equal" : "DIFFER",
                replies, replyBytes, shownByWindow, allShown ? "equal" : "DIFFER", lost,
                residentAfterWarmUp, residentAtEnd, growth);
    std::printf("reproduce: scripts/bench soak\n");
    return allSent && allShown && lost == 0 && growth <= 5.0 ? 0 : 1;
}
