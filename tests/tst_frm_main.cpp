// The port, the traffic views, and the receive and send paths of the window.

#include "window_fixture.h"

#include "exchange/exchange_log_model.h"
#include "exchange/exchange_monitor.h"
#include "test_util.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QRadioButton>
#include <QScrollBar>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

namespace {

// Which of Combo1, Combo2, Command32 (打开) and Command33 (关闭) are enabled.
QString portControls(const WindowFixture &f)
{
    QString flags;
    for (const char *name : {"Combo1", "Combo2", "Command32", "Command33"})
        flags += f.enabled(name) ? u'1' : u'0';
    return flags;
}
const QString closed = u"1110"_s;

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void openAndClose()
    {
        WindowFixture f;
        f.apply(u"Combo2=19200"_s);
        QVERIFY(f.open());
        QCOMPARE(f.comm()->settings().baudRate, 19200);
        QCOMPARE(portControls(f), u"0001"_s);
        QVERIFY(f.timer("Timer1")->isActive());
        f.click("Command33");
        QVERIFY(!f.comm()->portOpen() && f.messages.isEmpty());
        QCOMPARE(portControls(f), closed);
        // Which device COM1 and COM2 stand for, beside the selector.
        QCOMPARE(f.text("PortDevice"), f.pty.path());
        f.window.portNames().setMapping(2, u"/dev/ttyUSB7"_s);
        f.apply(u"Combo1=COM2"_s);
        QCOMPARE(f.text("PortDevice"), u"/dev/ttyUSB7"_s);
    }

    // The five tabs the tool has always had come first, in their order, and the
    // window opens on the tool tab; the newer tabs follow them.
    void tabOrder()
    {
        WindowFixture f;
        const auto *tabs = f.control<QTabWidget>(u"SSTab1"_s);
        QStringList order;
        for (int i = 0; i < tabs->count(); ++i)
            order << tabs->widget(i)->objectName() + u'=' + tabs->tabText(i);
        QCOMPARE(order.join(u' '),
                 u"productTab=StepperBench simulatorTab=模拟控制器 toolTab=调试 "
                 "helpTab=高级功能帮助 protocolTab=通讯协议 exchangeTab=通讯记录 "
                 "motionTab=运动曲线 scanTab=设备扫描 testTab=测试"_s);
        QCOMPARE(tabs->currentWidget()->objectName(), u"toolTab"_s);
    }

    // The decoration picture of the first view, decoded on a thread ahead of the
    // window (as the program does) or when the window is made.
    void decorationPicture_data() { flagRows("ahead", "ahead", "when made"); }
    void decorationPicture()
    {
        QFETCH(bool, ahead);
        if (ahead)
            FrmMain::readPictureAhead();
        WindowFixture f;
        QCOMPARE(f.control<QLabel>(u"Picture1"_s)->pixmap().size(), QSize(96, 96));
    }

    void autoPollWaitsForEachReply()
    {
        // A controller that never answers: each query of the poll's round waits out its time-out,
        // however many intervals pass meanwhile, and the round goes on with the next query.
        WindowFixture f;
        QVERIFY(f.open());
        QSignalSpy ticks(f.timer(u"autoPollTimer"_s), &QTimer::timeout);
        f.apply(u"replyTimeout=100;autoPollInterval=20;autoPoll=1"_s);
        const QByteArray sent = f.pty.collect(10);
        f.apply(u"autoPoll=0"_s);
        QVERIFY(ticks.count() >= 4);
        QCOMPARE(sent.left(10).toHex(' '), (rtu("013600") + rtu("013700")).toHex(' '));
    }

    void failedOpening_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("device"); // "/...": COM1 stands for it; "busy": taken
        QTest::addColumn<QString>("words"); // what the message says, "|" between
        const char *const rows[][4] = {
                {"COM10", "Combo1=COM10", "", "请选择正确的串口名"},
                {"missing device", "", "/dev/sb-missing", "COM1|/dev/sb-missing"},
                {"invalid rate", "Combo2=fast", "", "COM1|fast,n,8,1"},
                {"busy port", "", "busy", "COM1"},
        };
        for (const auto &[name, settings, device, words] : rows)
            QTest::newRow(name) << settings << device << QString::fromUtf8(words);
    }

    void failedOpening()
    {
        QFETCH(QString, settings);
        QFETCH(QString, device);
        QFETCH(QString, words);
        WindowFixture f;
        QSerialPort other(f.pty.path());
        if (device == u"busy")
            QVERIFY(other.open(QIODevice::ReadWrite));
        else
            QVERIFY(f.open()); // an open COM1 closes first
        if (device.startsWith(u'/'))
            f.window.portNames().setMapping(1, device);
        f.apply(settings);
        f.window.openPort();
        QVERIFY(!f.comm()->portOpen());
        QCOMPARE(f.messages.size(), 1);
        for (const QString &word : words.split(u'|'))
            QVERIFY2(f.messages.first().contains(word), qPrintable(f.messages.first()));
        QCOMPARE(portControls(f), closed);
    }

    void trafficViews()
    {
        WindowFixture f;
        QVERIFY(f.open());
        const QByteArray frame(":013C00C3\r\n");
        f.window.SendFrame(frame);
        QCOMPARE(f.sent(), frame);
        QCOMPARE(f.text("RichTextBox2"),
                 u"SndAsc::013C00C3..\nSndHex:3A 30 31 33 43 30 30 43 33 0D 0A \n急停命令:\n\r"_s);
        f.window.SendFrame(frame);
        QCOMPARE(f.text("Label44"), u"22"_s);
        QVERIFY(f.timer("Timer1")->isActive()); // the receive poll goes on after a send
        TrafficView *view = f.view(1);
        // Pieces that arrive within one poll interval make one block.
        QVERIFY(f.pty.write(QByteArray::fromHex("0126")));
        QVERIFY(f.receive(QByteArray::fromHex("04000003E8") + "\r\n"));
        const QString first
                = u"RecAsc:.&.......\nRecHex:01 26 04 00 00 03 E8 0D 0A \n查询运动初速度:\n\r"_s;
        QCOMPARE(view->text(), first);
        QTRY_COMPARE(view->toPlainText(), QString(first).remove(u'\r'));
        // The next block goes on top, the screen shows each line once, and the
        // counter adds up; a tick with no new bytes shows nothing.
        QVERIFY(f.receive("A~"));
        f.window.Timer1_Timer();
        QCOMPARE(view->text(), u"RecAsc:A~\nRecHex:41 7E \n"_s + first);
        QTRY_COMPARE(view->toPlainText(), QString(view->text()).remove(u'\r'));
        QCOMPARE(f.text("Label45"), u"11"_s);
        // "清空内容" empties one view and its counter.
        f.click("Command36");
        QCOMPARE(f.text("RichTextBox1") + f.text("Label45") + f.text("Label44"), u"022"_s);
        f.click("Command6");
        QCOMPARE(f.text("RichTextBox2") + f.text("Label44"), u"0"_s);
        // A long run is shown in time slices; the rest follows at the next turn of
        // the event loop, without waiting for the next tick, and nothing is left.
        f.window.setPollTimeSlice(0); // every block ends the slice
        QVERIFY(f.receive(QByteArray(1300, 'z')));
        QCOMPARE(f.text("Label45"), u"512"_s);
        QTRY_COMPARE(f.text("Label45"), u"1300"_s);
        QCOMPARE(f.comm()->inBufferCount(), qint64(0));
        QCOMPARE(f.text("RichTextBox1").count(u'z'), 1300);
        // The far end reads nothing: a frame far larger than the terminal's buffer is handed over
        // at once and shown; once the line has taken no byte for the stall time, the rest is
        // dropped and said once on the statistics line, never in a box, and the port stays usable.
        f.comm()->setStallTimeMs(100);
        f.window.SendFrame(QByteArray(256 << 10, 'x'));
        QCOMPARE(f.text("Label44"), QString::number(256 << 10));
        // Dropping the rest drains a pseudo-terminal at once: writing goes on.
        QTRY_VERIFY(f.text("exchangeStatus").contains(u"串口恢复写入"));
        QVERIFY(f.text("exchangeStatus")
                        .contains(u"写入失败：线路 0.1 秒没有取走一个字节，"
                                  "未写完的 1 帧已整帧丢弃"_s));
        QVERIFY(!f.comm()->writeStalled() && f.comm()->portOpen() && f.messages.isEmpty());
        QCOMPARE(f.comm()->bytesToWrite(), 0);
    }

    // A list that sends 259-byte frames every millisecond to a far end that drains
    // about 1 KB/s, the pace of a 9600-baud wire: no device taken for lost, the
    // list waits while the line holds its frames back, every frame arrives whole.
    void slowLine()
    {
        WindowFixture f;
        QVERIFY(f.open());
        const QByteArray frame = QByteArray(259, '\x5A');
        f.list()->addItem(QString::fromLatin1(frame.toHex(' ')));
        f.apply(u"Text22=1;Check1=1"_s);
        QByteArray arrived;
        for (int i = 0; i < 150; ++i) { // 1.5 s
            QTest::qWait(10);
            arrived += f.pty.read(10, 0);
        }
        f.apply(u"Check1=0"_s);
        QVERIFY(QTest::qWaitFor([&] {
            arrived += f.pty.readAvailable();
            return f.comm()->bytesToWrite() == 0 && arrived.size() % frame.size() == 0;
        }));
        QVERIFY(arrived.size() >= 2 * frame.size()
                && arrived == frame.repeated(arrived.size() / frame.size()));
        QVERIFY2(!f.text("exchangeStatus").contains(u"已断开"),
                 qPrintable(f.text("exchangeStatus")));
        QVERIFY(f.comm()->portOpen() && f.messages.isEmpty());
    }

    // A large frame to a far end that reads slowly arrives whole, and the window
    // answers throughout: the longest wait of a 5 ms heartbeat stays short.
    void slowFarEnd()
    {
        WindowFixture f;
        QVERIFY(f.open());
        // More than the kernel holds for a pseudo-terminal (about 64 KiB).
        QByteArray frame(200000, Qt::Uninitialized);
        for (qsizetype i = 0; i < frame.size(); ++i)
            frame[i] = char(i * 7);
        QElapsedTimer beat;
        qint64 longest = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout,
                         [&] { longest = qMax(longest, beat.restart()); });
        heartbeat.start(5);
        beat.start();
        f.window.SendFrame(frame);
        QByteArray arrived;
        QElapsedTimer pace;
        pace.start();
        while (arrived.size() < frame.size() && pace.elapsed() < 10000) {
            QTest::qWait(10); // the far end reads 4000 bytes every 10 ms (400 KB/s)
            arrived += f.pty.read(qMin<qsizetype>(4000, frame.size() - arrived.size()), 0);
        }
        QCOMPARE(arrived, frame);
        QVERIFY2(longest < 200, qPrintable(QString::number(longest))); // a blocking write: 1 s
        QVERIFY(f.messages.isEmpty() && !f.comm()->writeStalled());
    }

    // The options of the exchange tab act on the next exchanges.
    void exchangeOptions()
    {
        WindowFixture f;
        QVERIFY(f.open());
        f.apply(u"replyTimeout=10"_s);
        f.click(u"Command30"_s); // nobody answers
        QTRY_VERIFY(f.text("exchangeStatus").contains(u"超时 1"));
        f.sent();
        // The adapter hands back what it sends: taken off, the reply counted once.
        f.apply(u"replyTimeout=5000;echoSuppression=1"_s);
        f.click(u"Command30"_s);
        QVERIFY(f.pty.write(f.sent() + rtu("01370400000007")));
        QTRY_VERIFY(f.text("exchangeStatus")
                            .contains(u"应答 1 · 校验错误 0 · 超时 1 · 意外应答 0 · 噪声 0 字节"));
        QCOMPARE(f.text("Text18"), u" 7"_s);
        // The log shows one verdict when asked.
        auto *log = f.control<QTableView>(u"exchangeLog"_s);
        QCOMPARE(log->model()->rowCount(), 2);
        f.control<QComboBox>(u"exchangeFilter"_s)->setCurrentText(u"超时"_s);
        QCOMPARE(log->model()->rowCount(), 1);
        QCOMPARE(log->model()->index(0, ExchangeLogModel::Result).data().toString(), u"超时"_s);
        f.click(u"statsReset"_s);
        QTRY_VERIFY(f.text("exchangeStatus").startsWith(u"请求 0 · 应答 0"));
    }

    // The log reads as a terminal does: it follows the newest row unless scrolled back, a
    // frame of 255 bytes is shown whole, and Ctrl+C copies the chosen rows as text.
    void exchangeLogReading()
    {
        WindowFixture f;
        auto *log = f.control<QTableView>(u"exchangeLog"_s);
        f.control<QTabWidget>(u"SSTab1"_s)->setCurrentWidget(f.control(u"exchangeTab"_s));
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        auto *model = qobject_cast<ExchangeLogModel *>(
                qobject_cast<QSortFilterProxyModel *>(log->model())->sourceModel());
        const QByteArray request = QByteArray::fromHex("010300000006C5C8");
        QByteArray reply = QByteArray::fromHex("0103FA") + QByteArray(250, '\x5A') + "\x12\x34";
        const auto arrive = [&](int rows, const QByteArray &answer = "\x01\x03\x02") {
            for (int i = 0; i < rows; ++i)
                model->append({request, answer, Verdict::Good, 1, 3, 0, 0, 1500}, 0);
        };
        QScrollBar *bar = log->verticalScrollBar();
        arrive(60);
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        bar->setValue(10); // the reader scrolls back: the rows stay put
        arrive(5);
        QCOMPARE(bar->value(), 10);
        bar->setValue(bar->maximum()); // and down again: the log follows
        arrive(1, reply);
        QCOMPARE(bar->value(), bar->maximum());

        const int last = log->model()->rowCount() - 1;
        const QString replyText = QString::fromLatin1(reply.toHex(' ').toUpper());
        const QModelIndex replyCell = log->model()->index(last, ExchangeLogModel::Reply);
        QCOMPARE(replyCell.data().toString(), replyText);
        QVERIFY(log->columnWidth(ExchangeLogModel::Reply)
                >= log->fontMetrics().horizontalAdvance(replyText));
        QCOMPARE(log->textElideMode(), Qt::ElideNone);
        QTRY_VERIFY(log->horizontalScrollBar()->maximum() > 0); // the long row scrolls sideways
        QVERIFY(replyCell.data(Qt::ToolTipRole).toString().simplified().contains(replyText));

        log->selectionModel()->select(
                QItemSelection(log->model()->index(last - 1, 0), log->model()->index(last, 0)),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTest::keySequence(log, QKeySequence::Copy);
        const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
        QCOMPARE(lines.size(), 3); // two rows, each ended by a line break
        for (int row : {0, 1}) {
            const QStringList cells = lines[row].split(u'\t');
            QCOMPARE(cells.size(), int(ExchangeLogModel::ColumnCount));
            QCOMPARE(cells[ExchangeLogModel::Request], u"01 03 00 00 00 06 C5 C8"_s);
            QCOMPARE(cells[ExchangeLogModel::Reply], row ? replyText : u"01 03 02"_s);
            QCOMPARE(cells[ExchangeLogModel::ResponseTime], u"1.5"_s);
        }
    }

    void viewLimit()
    {
        // A view longer than 10000 characters is emptied, with its counter,
        // before the next lines go in.
        WindowFixture f;
        QVERIFY(f.open());
        const QByteArray frame = QByteArray::fromHex("01250400000064FCDE");
        for (const int length : {10000, 10001}) {
            f.apply(u"Label44=12;Label45=12;RichTextBox1=%1;RichTextBox2=%1"_s.arg(
                    QString(length, u'x')));
            QVERIFY(f.receive(frame));
            f.window.SendFrame(frame);
            for (const int n : {1, 2}) {
                QCOMPARE(f.view(n)->text().size(), (length > 10000 ? 0 : length) + 62);
                f.view(n)->syncDisplay();
                QCOMPARE(f.view(n)->toPlainText(), QString(f.view(n)->text()).remove(u'\r'));
            }
            QCOMPARE(f.text("Label44") + f.text("Label45"), length > 10000 ? u"99"_s : u"2121"_s);
        }
    }

    void vanishedDevice_data() { flagRows("reconnect", "reconnect", "no reconnect"); }
    void vanishedDevice()
    {
        QFETCH(bool, reconnect);
        // Through a link, as a /dev/serial/by-id name, so the device can come back
        // under the same name.
        QTemporaryDir dir;
        const QString link = dir.filePath(u"ttyBench"_s);
        auto pty = std::make_unique<PtyPair>();
        QVERIFY(QFile::link(pty->path(), link));
        WindowFixture f;
        f.window.portNames().setMapping(1, link);
        f.control<QCheckBox>(u"autoReconnect"_s)->setChecked(reconnect);
        QVERIFY(f.open());
        pty.reset(); // and its name leads nowhere, whoever gets the pts number next
        QVERIFY(QFile::remove(link) && QFile::link(dir.filePath(u"gone"_s), link));
        const QByteArray frame = QByteArray::fromHex("01200039C0");
        if (!reconnect) {
            // One message, the port closed; opening works once the device is back.
            QTRY_COMPARE(f.messages.size(), 1);
            QVERIFY2(f.messages.first().contains(u"COM1"), qPrintable(f.messages.first()));
            QVERIFY(!f.comm()->portOpen() && portControls(f) == closed);
            f.window.SendFrame(frame); // shows and reports nothing
            QCOMPARE(f.messages.size() + f.text("RichTextBox2").size(), 1);
        } else {
            // One line on the statistics line, no box; the window stays open.
            QTRY_VERIFY(f.text("exchangeStatus").contains(u"已断开"));
            QVERIFY(f.messages.isEmpty() && portControls(f) != closed);
        }
        pty = std::make_unique<PtyPair>();
        QVERIFY(QFile::remove(link) && QFile::link(pty->path(), link));
        if (!reconnect) {
            QVERIFY(f.open());
        } else {
            // Found by its path alone: the station's handshake comes first, and
            // nothing else goes until it is answered.
            QCOMPARE(pty->collect(frame.size()), frame);
            QTRY_VERIFY(f.text("exchangeStatus").contains(u"等待站 01 应答握手"));
            QVERIFY(pty->write(frame));
            QTRY_VERIFY(f.comm()->portOpen() && f.text("exchangeStatus").contains(u"已恢复"));
        }
        f.window.SendFrame(frame);
        QCOMPARE(pty->read(5), frame);
        QVERIFY(f.messages.size() == (reconnect ? 0 : 1));
    }

    // Two starts in a row: the options of the newer tabs come back; the port
    // settings come back only with restoreSession ticked, else their start texts.
    void settingsAcrossStarts_data() { flagRows("restoreSession", "restored", "start texts"); }
    void settingsAcrossStarts()
    {
        QFETCH(bool, restoreSession);
        FrmMain::resetSettings();
        const QString session = u"COM3|19200|Modbus ASC|2A"_s;
        const auto portSettings = [](const WindowFixture &f) {
            QStringList texts;
            for (const char *name : {"Combo1", "Combo2", "Combo7"})
                texts << f.control<QComboBox>(QLatin1String(name))->currentText();
            return texts.join(u'|') + u'|' + f.text("Text23");
        };
        QString startTexts;
        {
            WindowFixture f;
            startTexts = portSettings(f);
            f.window.restoreSettings();
            f.apply(u"Combo1=COM3;Combo2=19200;Text23=2A;scanFrom=10;replyTimeout=800;"
                    "autoReconnect=0;restoreSession="_s
                    + (restoreSession ? u'1' : u'0'));
            f.mode(1);
            f.control<QRadioButton>(u"Option2"_s)->click(); // English
        }
        installLanguage(Language::Chinese); // as every start does
        WindowFixture f;
        QCOMPARE(portSettings(f), startTexts);
        f.window.restoreSettings();
        QCOMPARE(portSettings(f), restoreSession ? session : startTexts);
        QCOMPARE(f.window.language(), restoreSession ? Language::English : Language::Chinese);
        QCOMPARE(f.control<QRadioButton>(u"Option2"_s)->isChecked(), restoreSession);
        f.window.setLanguage(Language::Chinese);
        QCOMPARE(f.control<QSpinBox>(u"replyTimeout"_s)->value(), 800);
        QCOMPARE(f.window.exchanges().replyTimeoutUs(), 800'000);
        QCOMPARE(f.text("scanFrom"), u"10"_s);
        QVERIFY(!f.control<QCheckBox>(u"autoReconnect"_s)->isChecked());
        FrmMain::resetSettings();
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frm_main.moc"
