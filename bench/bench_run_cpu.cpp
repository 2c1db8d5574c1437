// Window CPU during a 50 ms command-list run against the simulated controller
// (stepperbench-sim in a process of its own): the list sends the position query
// every 50 ms and every reply is shown. The window thread's CPU time, as a share
// of one core, with the two traffic views in use and again with them hidden, so
// that the cost of drawing is known. Usage: bench_run_cpu [seconds, default 10]
#include "bench_util.h"
#include "device/frame.h"
#include "frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

struct Run
{
    double cpuShare;
    qint64 shown;
};

Run run(const QString &device, bool viewsShown, int seconds)
{
    FrmMain window;
    window.portNames().setMapping(1, device);
    window.resize(1280, 800);
    window.show();
    for (const char *view : {"RichTextBox1", "RichTextBox2"})
        window.findChild<QWidget *>(QLatin1String(view))->setVisible(viewsShown);
    window.findChild<QPushButton *>(QStringLiteral("Command32"))->click();
    qint64 shown = 0;
    QObject::connect(&window, &FrmMain::blockShown, [&](qsizetype n) { shown += n; });
    auto *list = window.findChild<QListWidget *>(QStringLiteral("List1"));
    list->addItem(QString::fromLatin1(frameRtu(QByteArray::fromHex("013700")).toHex(' ')));
    window.findChild<QLineEdit *>(QStringLiteral("Text22"))->setText(QStringLiteral("50"));
    const double before = threadCpuSeconds();
    window.findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(true);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    window.findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(false);
    return {(threadCpuSeconds() - before) / seconds, shown};
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
    QProcess simulator;
    simulator.start(QStringLiteral(STEPPERBENCH_SIM), {QStringLiteral("--quiet")});
    if (!simulator.waitForReadyRead(10000)) {
        std::fprintf(stderr, "bench_run_cpu: the simulator did not start\n");
        return 2;
    }
    const QString device = QString::fromLocal8Bit(simulator.readLine().trimmed());
    for (const bool viewsShown : {true, false}) {
        const Run result = run(device, viewsShown, seconds);
        std::printf("50 ms run, %d s, views %s: window thread %.1f%% of a core, %lld bytes shown"
                    " (goal with views: at most 5%%)\n",
                    seconds, viewsShown ? "shown " : "hidden", result.cpuShare * 100,
                    qlonglong(result.shown));
    }
    simulator.terminate();
    simulator.waitForFinished(5000);
    std::printf("reproduce: scripts/bench run_cpu\n");
    return 0;
}
