// Soak: request and reply exchanges between the real window and the simulated
// controller over a pseudo-terminal, command buttons and run-loop steps mixed.
// Every byte that crossed the line must have passed through SendFrame or
// ShowReceived, every reply must be shown, and resident memory must stay flat.
// The soak runs twice, without and with a capture of everything to a file;
// with it, every exchange must be in the file and the run at most 10% slower.
// Usage: bench_soak [exchanges, default 100000]
#include "bench_util.h"
#include "bench_window.h"
#include "frm_main.h"
#include "link/mscomm.h"
#include "sim/sim_server.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

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

struct Soak
{
    double seconds;
    bool allSent, allShown;
    int lost;
    qint64 replies;
    double residentAfterWarmUp, residentAtEnd;
    qint64 capturedTx = 0, capturedRx = 0, requests = 0;
};

Soak soak(int exchanges, const QString &capturePath)
{
    SimServer simulator{SimConfig{}};
    if (const Status opened = simulator.openPseudoTerminal(); !opened)
        qFatal("bench_soak: %s", qPrintable(opened.error()));
    FrmMain window;
    window.portNames().setMapping(1, simulator.devicePath());
    // Not shown: the soak is about what crosses the line and what stays in
    // memory, not about painting (the traffic benchmarks measure that).
    window.findChild<QPushButton *>(QStringLiteral("Command32"))->click();
    if (!capturePath.isEmpty())
        startCapture(window, capturePath);
    auto *comm = window.findChild<MSComm *>(QStringLiteral("MSComm1"));
    window.findChild<QListWidget *>(QStringLiteral("List1"))
            ->addItems({QStringLiteral("01 36 00 37 A0 "), QStringLiteral("01 3B 00 33 30 "),
                        QStringLiteral("01 42 00 10 A0 ")});

    qint64 sentThroughWindow = 0, shownByWindow = 0, frames = 0;
    qint64 requestBytes = 0, replyBytes = 0, replies = 0;
    QObject::connect(&window, &FrmMain::frameShown, [&](qsizetype n) {
        sentThroughWindow += n;
        ++frames;
    });
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
    Soak result{};
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
            ++result.lost;
        window.Timer1_Timer();
        if (i == 999)
            result.residentAfterWarmUp = residentMiB();
    }
    waitFor([&] { return comm->inBufferCount() == 0; }, 100);
    result.seconds = double(clock.elapsed()) / 1e3;
    result.residentAtEnd = residentMiB();
    result.allSent = sentThroughWindow == requestBytes;
    result.allShown = shownByWindow == replyBytes && comm->inBufferCount() == 0;
    result.replies = replies;
    result.requests = frames;
    if (!capturePath.isEmpty()) {
        // The replies still waiting for the framer's verdict are settled first.
        waitFor([&] { return false; }, 50);
        const QHash<QByteArray, qint64> lines = stopCapture(window, capturePath);
        result.capturedTx = lines.value("TX");
        result.capturedRx = lines.value("RX");
    }
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int exchanges = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    bool ok = true;
    double plainSeconds = 0;
    for (const bool capture : {false, true}) {
        const Soak r = soak(exchanges,
                            capture ? dir.filePath(QStringLiteral("soak.log")) : QString());
        const double growth = r.residentAtEnd - r.residentAfterWarmUp;
        std::printf("soak%s: %d exchanges in %.1f s; every byte through SendFrame and ShowReceived:"
                    " %s / %s; replies %lld; unanswered %d; resident memory %.1f MiB after 1000,"
                    " %.1f MiB at the end, growth %.2f MiB",
                    capture ? " with capture" : "", exchanges, r.seconds, r.allSent ? "yes" : "NO",
                    r.allShown ? "yes" : "NO", r.replies, r.lost, r.residentAfterWarmUp,
                    r.residentAtEnd, growth);
        ok = ok && r.allSent && r.allShown && r.lost == 0;
        if (capture) {
            const bool whole = r.capturedTx == r.requests && r.capturedRx == r.replies;
            std::printf("; captured %lld TX and %lld RX lines (%s), %.1f%% slower than without",
                        r.capturedTx, r.capturedRx, whole ? "every exchange" : "MISSING",
                        (r.seconds / plainSeconds - 1) * 100);
            ok = ok && whole;
        }
        plainSeconds = r.seconds;
        std::printf("\n");
    }
    std::printf("goal: every byte counted, every exchange captured, capture at most 10%% slower;"
                " memory growth bounded by the exchange log's 100000 rows\n");
    std::printf("reproduce: scripts/bench soak\n");
    return ok ? 0 : 1;
}
