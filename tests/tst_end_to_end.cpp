// The window against the simulated controller over a pseudo-terminal, in both
// modes: each exchange shows the controller's answer where the user reads it.

#include "exchange/exchange_monitor.h"
#include "sim_fixture.h"
#include "test_util.h"

#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QXYSeries>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void session_data() { flagRows("ascii", "ASCII", "RTU"); }

    // Every frame sent and every reply also go to a capture file, the replies with their
    // verdict and response time.
    void session()
    {
        QFETCH(bool, ascii);
        SimFixture f;
        SimServer &simulator = f.simulator;
        qint64 nowUs = 0; // the controller's clock moves only when the test says
        simulator.setClock([&nowUs] { return nowUs; });
        f.mode(ascii ? 1 : 0);
        QVERIFY(f.open());
        QTemporaryDir dir;
        f.dialogs->fileNames << dir.filePath(u"bench.log"_s);
        f.click(u"captureButton"_s);
        QCOMPARE(f.text("captureButton"), u"停止捕获"_s);
        // Clicks a button and shows the controller's reply, as the receive poll would.
        int exchanges = 0;
        const auto exchange = [&](const char *button) {
            ++exchanges;
            QSignalSpy replies(&simulator, &SimServer::exchanged);
            f.click(button);
            if (!QTest::qWaitFor([&] { return !replies.isEmpty(); }))
                return false;
            const qsizetype size = replies.first().at(1).toByteArray().size();
            const bool arrived = QTest::qWaitFor([&] { return f.comm()->inBufferCount() >= size; });
            f.window.Timer1_Timer();
            return size && arrived;
        };
        QVERIFY(exchange("Command13"));
        QVERIFY(f.text("RichTextBox1").contains(u"查询设备地址:当前地址为1\n"));
        // Each parameter set, then read back; they make the profile of the move below.
        const char *const parameters[][5] = {
                {"Command17", "Text12", "250", "Command57", "Text27"},
                {"Command24", "Text13", "12000", "Command58", "Text26"},
                {"Command25", "Text14", "900", "Command59", "Text25"},
                {"Command26", "Text15", "20000", "Command60", "Text24"},
                {"Command27", "Text16", "15000", "Command61", "Text6"},
                {"Command64", "Text29", "3000", "Command62", "Text28"},
        };
        for (const auto &[set, box, value, query, readBack] : parameters) {
            f.apply(QLatin1String(box) + u'=' + QLatin1String(value));
            QVERIFY(exchange(set) && exchange(query));
            QCOMPARE(f.text(readBack), u' ' + QString::fromLatin1(value));
        }
        // A move of 10000 pulses: under way after half a second, done after four.
        QVERIFY(exchange("Command18"));
        nowUs += 500'000;
        QVERIFY(exchange("Command29") && exchange("Command28") && exchange("Command30"));
        QCOMPARE(f.text("Label15"), u"运动中"_s);
        QCOMPARE(f.shape(1)->fillColor(), QColor(Qt::red));
        const int position = f.text("Text18").trimmed().toInt();
        QVERIFY2(position > 0 && position < 10000, qPrintable(f.text("Text18")));
        QVERIFY(f.text("Text17").trimmed().toInt() > 0);
        nowUs += 3'500'000;
        QVERIFY(exchange("Command29") && exchange("Command30") && exchange("Command31"));
        QCOMPARE(f.text("Label15"), u"停止"_s);
        const QColor dark = f.window.palette().color(QPalette::WindowText);
        for (const int lamp : {1, 2, 4}) // moving, left limit, right limit
            QCOMPARE(f.shape(lamp)->fillColor(), dark);
        QCOMPARE(f.text("Text18") + f.text("Text19"), u" 10000 10000"_s);
        QVERIFY(exchange("Command66") && exchange("Command30"));
        QCOMPARE(f.text("Text18"), u" 0"_s);
        simulator.setInputs(0b10010); // IN2 and IN5 active
        QVERIFY(exchange("Command94"));
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(f.shape(4 + i)->fillColor(), i == 2 || i == 5 ? QColor(Qt::red) : dark);

        f.click(u"captureButton"_s);
        const QStringList lines = QString::fromUtf8(fileContent(dir.filePath(u"bench.log"_s)))
                                          .split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2 * exchanges);
        static const QRegularExpression rx(
                u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} (TX|RX) ([0-9A-F]{2} )*[0-9A-F]{2}  (\\S+ )*\\S+( {2}校验正确  \\d+\\.\\d ms)?$"_s);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QVERIFY2(rx.match(lines[i]).hasMatch(), qPrintable(lines[i]));
            QCOMPARE(lines[i].contains(u" RX "), i % 2 == 1);
        }
        const QString status = u"请求 %1 · 应答 %1 · 校验错误 0 · 超时 0"_s.arg(exchanges);
        QTRY_VERIFY(f.text("exchangeStatus").startsWith(status));
    }

    // A reply that straddles two polls is shown as two blocks, and its value is
    // taken from the whole frame, never from a piece.
    void splitReply_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("split");
        QTest::addColumn<QString>("position"); // Text18 once the reply is whole
        const QByteArray ascii = frameAscii(QByteArray::fromHex("013704FFFFFFFE"));
        for (const int split : {3, 8})
            QTest::addRow("ASCII after byte %d", split) << 1 << ascii << split << "-2";
        QTest::newRow("RTU after noise") << 0 << "\xFF" + rtu("013704FFFFFFFE") << 4 << "-2";
        // The second piece reads like a position reply; it is a piece of an IO
        // table reply, which has no value.
        QTest::newRow("RTU, a piece that looks like a reply")
                << 0 << rtu("01410A00370400000009000000") << 3 << "0";
    }
    void splitReply()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, reply);
        QFETCH(int, split);
        QFETCH(QString, position);
        WindowFixture f;
        f.mode(mode);
        QVERIFY(f.open());
        f.click(u"Command30"_s); // the absolute position
        QVERIFY(f.receive(reply.first(split)));
        QCOMPARE(f.text("Text18") + f.text("Text28"), u"00"_s);
        QVERIFY(f.receive(reply.sliced(split)));
        QCOMPARE(f.text("Text18") + f.text("Text28"), position + u'0');
        QCOMPARE(f.text("RichTextBox1").count(u"RecHex:"), 2);
        if (position != u"0")
            QTRY_VERIFY(f.text("exchangeStatus").startsWith(u"请求 1 · 应答 1 · 校验错误 0"));
    }

    // A command list faster than the receive poll: every reply is still shown
    // within two poll intervals of its arrival.
    void fastRunShowsReplies()
    {
        SimFixture f;
        f.timer(u"Timer1"_s)->setInterval(200);
        QVERIFY(f.open());
        f.list()->addItem(QString::fromLatin1(rtu("013700").toHex(' ')));
        f.apply(u"Text22=150"_s);
        QElapsedTimer clock;
        clock.start();
        QList<std::pair<qint64, qsizetype>> arrivals; // time, bytes
        qint64 shown = 0, arrived = 0, longestMs = 0;
        QObject::connect(f.comm(), &MSComm::bytesArrived, [&](const QByteArray &bytes, qint64) {
            arrivals.append({clock.elapsed(), arrived += bytes.size()});
        });
        QObject::connect(&f.window, &FrmMain::blockShown, [&](qsizetype n) {
            shown += n;
            while (!arrivals.isEmpty() && arrivals.first().second <= shown)
                longestMs = qMax(longestMs, clock.elapsed() - arrivals.takeFirst().first);
        });
        f.apply(u"Check1=1"_s);
        // The run goes on until eight replies are shown, however long the machine takes.
        QTRY_VERIFY_WITH_TIMEOUT(shown >= 9 * 8, 20000);
        f.apply(u"Check1=0"_s);
        QVERIFY2(longestMs <= 400, qPrintable(QString::number(longestMs)));
    }

    // The automatic poll plots a move beside its prediction: the measured
    // duration agrees, the motor ends on its target, and the exports hold the
    // samples and the picture. The poll never has two requests out at once, and
    // polling quietly leaves the traffic views to the engineer's own frames.
    void plottedMove()
    {
        SimFixture f;
        f.window.show();
        f.control<QTabWidget>(u"SSTab1"_s)->setCurrentWidget(f.control(u"motionTab"_s));
        QVERIFY(f.open());
        // The poll's own queries never overlap (a click may go between them).
        QList<Exchange> polls;
        QObject::connect(&f.window.exchanges(), &ExchangeMonitor::exchangeSettled,
                         [&](const Exchange &e) {
                             if (QByteArrayView("\x36\x37\x3B")
                                         .contains(e.request.size() > 1 ? e.request[1] : 0))
                                 polls.append(e);
                         });
        f.apply(u"autoPollQuiet=1;autoPollInterval=20;autoPoll=1"_s);
        const MotionTracker &motion = f.window.motion();
        QTRY_VERIFY(motion.series(MotionTracker::Moving).size() >= 2);
        f.click(u"Command18"_s); // 10000 pulses
        QTRY_VERIFY_WITH_TIMEOUT(f.text("positionError") != u"—", 5000);
        for (qsizetype i = 1; i < polls.size(); ++i)
            QVERIFY(polls[i].sentUs >= polls[i - 1].repliedUs);

        static const QRegularExpression number(u"[-\\d.]+"_s);
        const auto numbers = [&](const char *label) {
            QList<double> values;
            for (const auto &match : number.globalMatch(f.text(label)))
                values << match.captured().toDouble();
            return values;
        };
        const double predicted = numbers("predictedDuration").value(0);
        const QList<double> measured = numbers("measuredDuration");
        QCOMPARE(predicted, 1.895);
        QVERIFY2(std::abs(measured.value(0) - predicted) <= 0.05 * predicted + measured.value(1),
                 qPrintable(f.text("measuredDuration")));
        QVERIFY2(f.text("positionError").startsWith(u"0 脉冲（目标 10000，实测 10000）"),
                 qPrintable(f.text("positionError")));
        f.apply(u"autoPoll=0"_s);
        QTRY_COMPARE(f.window.exchanges().pendingRequests(), 0); // the last query's reply
        f.window.Timer1_Timer();
        QCOMPARE(f.text("RichTextBox2").count(u"SndHex:"), 1);
        QCOMPARE(f.text("RichTextBox1").count(u"RecHex:"), 1);
        QVERIFY(f.text("RichTextBox1").contains(u"RecHex:01 31 04 00 00 27 10 "));
        QCOMPARE(f.text("Label44") + f.text("Label45"), u"99"_s);

        auto *view = f.control<QChartView>(u"motionChart"_s);
        QTRY_VERIFY(!view->chart()->series().isEmpty());
        for (QAbstractSeries *series : view->chart()->series()) {
            if (auto *line = qobject_cast<QXYSeries *>(series))
                QVERIFY2(line->count() > 1, qPrintable(line->name()));
        }
        QTemporaryDir dir;
        f.dialogs->fileNames << dir.filePath(u"move.csv"_s) << dir.filePath(u"move.png"_s);
        f.click(u"chartExport"_s);
        f.click(u"chartExport"_s);
        const QList<QByteArray> rows = fileContent(dir.filePath(u"move.csv"_s)).split('\n');
        QCOMPARE(rows.first(), "series,time_s,value");
        const auto rowsOf = [&](const QByteArray &name) {
            return std::count_if(rows.begin(), rows.end(),
                                 [&](const QByteArray &row) { return row.startsWith(name + ','); });
        };
        QCOMPARE(rowsOf("position"), motion.series(MotionTracker::Position).size());
        QCOMPARE(rowsOf("predicted_speed"), motion.series(MotionTracker::PredictedSpeed).size());
        const double last = motion.series(MotionTracker::Position).last().x();
        QVERIFY(rows.contains("position," + QByteArray::number(last, 'f', 6) + ",10000"));
        const QImage picture(dir.filePath(u"move.png"_s));
        QCOMPARE(picture.size(), view->grab().size());
        QVERIFY(f.messages.isEmpty());

        // Paused, the picture stays while the figures follow the data; resumed, it catches up.
        auto *position = qobject_cast<QXYSeries *>(view->chart()->series().at(1));
        const qsizetype drawn = position->count();
        f.click(u"chartPause"_s);
        f.click(u"chartClear"_s);
        QTRY_COMPARE(f.text("predictedDuration"), u"—"_s);
        QCOMPARE(position->count(), drawn);
        f.click(u"chartPause"_s);
        QTRY_COMPARE(position->count(), 0);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
