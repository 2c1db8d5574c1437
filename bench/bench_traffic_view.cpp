// The cost of showing traffic when both views are full: one SendFrame (write
// to a pseudo-terminal included) plus one ShowReceived, with about 10000
// characters in each view. Reports the median and the 90th percentile.
#include "bench_util.h"
#include "bench_window.h"
#include "traffic_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    WindowOnPty bench;
    FrmMain &window = bench.window;
    PtyPair &pty = bench.pty;
    auto *received = window.findChild<TrafficView *>(QStringLiteral("RichTextBox1"));
    auto *sent = window.findChild<TrafficView *>(QStringLiteral("RichTextBox2"));

    const QByteArray frame = QByteArray::fromHex("01250400000064FCDE");
    const QByteArray reply = QByteArray::fromHex("012604000003E8AABB");
    // A full view of realistic traffic lines, just under the limit.
    QString full;
    while (full.size() < 9900)
        full += QStringLiteral("SndAsc:.%......d..\nSndHex:01 25 04 00 00 00 64 FC DE \n"
                               "设置运动初速度:\n\r");

    constexpr int runs = 2001;
    std::vector<double> micros;
    micros.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        received->setText(full);
        sent->setText(full);
        received->syncDisplay();
        sent->syncDisplay();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        window.SendFrame(frame);
        window.ShowReceived(reply, reply.size());
        sent->syncDisplay(); // what reaches the screen is part of the cost
        received->syncDisplay();
        micros.push_back(double(timer.nsecsElapsed()) / 1e3);
        pty.readAvailable();
    }
    std::printf("SendFrame + ShowReceived, both views at %lld characters, %d runs:"
                " median %.1f us, p90 %.1f us (goal: median at most 500 us)\n",
                qlonglong(full.size()), runs, median(micros), percentile(micros, 0.9));
    std::printf("reproduce: scripts/bench traffic_view\n");
    return 0;
}
