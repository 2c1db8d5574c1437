// The listen-only monitor on a fully loaded 115200-baud line: a recording of a
// bus (a master polling eight stations: standard register reads and writes, and
// the controller's own queries) replayed into a pseudo-terminal at line rate,
// each frame handed over when its last byte would have arrived and the frames
// 3.5 characters apart, for 60 s (STEPPERBENCH_SECONDS to change). The monitor
// is stepperbench-cli monitor itself; it must pair every exchange and lose no frame.
#include "device/command_set.h"
#include "device/frame.h"

#include "bench_util.h"
#include "pty_pair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>

#include <cstdio>

namespace {

constexpr qint32 baud = 115200;
constexpr double charUs = 11e6 / baud;
constexpr double silenceUs = 1750;

// The frame of station \a station and the payload that follows its address.
QByteArray rtu(quint8 station, const char *hex, QByteArray data = {})
{
    return frameRtu(char(station) + QByteArray::fromHex(hex) + data);
}

// One exchange of the recording, by its number: long frames, as a line carries
// when it is loaded.
QList<QByteArray> exchange(int n)
{
    const quint8 station = quint8(1 + n % 8);
    QByteArray word(2, 0);
    word[1] = char(n & 0x7F);
    switch (n % 4) {
    case 0: // 120 holding registers
        return {rtu(station, "0300000078"), rtu(station, "03F0", word.repeated(120))};
    case 1: // 60 registers written
        return {rtu(station, "100064003C78", word.repeated(60)), rtu(station, "100064003C")};
    case 2: // the controller's speed
        return {frameRtu(makePayload(station, FunctionCode::QuerySpeed)),
                frameRtu(makePayload(station, FunctionCode::QuerySpeed, int32BigEndian(n)))};
    default: // 2000 coils
        return {rtu(station, "01000007D0"), rtu(station, "01FA", word.repeated(125))};
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const double seconds = qEnvironmentVariableIsSet("STEPPERBENCH_SECONDS")
            ? qEnvironmentVariable("STEPPERBENCH_SECONDS").toDouble()
            : 60;
    PtyPair line;
    // Its lines go to a file: a pipe nobody reads while the replay runs would stop it.
    QTemporaryFile output;
    output.open();
    QProcess monitor;
    monitor.setStandardOutputFile(output.fileName());
    monitor.start(QStringLiteral(STEPPERBENCH_CLI),
                  {QStringLiteral("monitor"), QStringLiteral("--port"), line.path(),
                   QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--duration"),
                   QString::number(seconds + 2)});
    monitor.waitForStarted();
    QThread::msleep(500); // the monitor opens the port; what came before it would be lost

    // Each frame goes out when its last byte would be on the line.
    QElapsedTimer clock;
    clock.start();
    double endUs = 0;
    qint64 frames = 0, bytes = 0;
    int n = 0;
    while (endUs < seconds * 1e6) {
        for (const QByteArray &frame : exchange(n++)) {
            endUs += silenceUs + double(frame.size()) * charUs;
            while (double(clock.nsecsElapsed()) / 1e3 < endUs)
                QThread::usleep(200);
            line.write(frame);
            ++frames;
            bytes += frame.size();
        }
        line.readAvailable(); // the monitor writes nothing; keep the far end drained
    }
    const double wallS = double(clock.nsecsElapsed()) / 1e9;
    monitor.waitForFinished(int(seconds * 1000) + 30000);
    const QString out = QString::fromUtf8(output.readAll());
    const QString summary = out.trimmed().section(u'\n', -1);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double cpuS = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf(
            "replayed %lld frames (%d exchanges, %lld bytes) in %.1f s: %.0f%% of 115200 baud\n",
            qlonglong(frames), n, qlonglong(bytes), wallS,
            100.0 * double(bytes) * 11 / baud / wallS);
    std::printf(
            "monitor: %lld exchange lines \"Check OK\"; exit %d; %.2f CPU s (%.1f%% of a core)\n",
            qlonglong(out.count(QStringLiteral("  Check OK  "))), monitor.exitCode(), cpuS,
            100.0 * cpuS / wallS);
    std::printf("%s\n", qPrintable(summary));
    return 0;
}
