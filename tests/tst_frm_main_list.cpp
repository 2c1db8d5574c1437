#include "codec/hex_text.h"
#include "device/frame.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>

namespace {

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestFrmMainList : public QObject
{
    Q_OBJECT

private slots:
    void manualSends_data();
    void manualSends();
    void manualSendWithNothingToSend();
    void checkBoxes_data();
    void checkBoxes();
    void conversions();
    void longTexts();
    void insertLines();
    void delayGuard_data();
    void delayGuard();
    void deleteAndClear();
    void contextMenu();
    void fullList();
    void runLoop();
    void runLoopRefusesBadInterval_data();
    void runLoopRefusesBadInterval();
    void runLoopIntervalZeroStartsNoTick();
    void saveAndOpen();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void openFailures();
    void saveFailureIsShown();
    void openLongFile();
    void ioTable_data();
    void ioTable();
    void ioCommandTooLong();
};

void TestFrmMainList::manualSends_data()
{
    QTest::addColumn<QString>("box"); // Text1 or Text5
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("send");
    QTest::addColumn<QString>("add"); // the ">" button that leads to it
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("hex as typed") << "Text1" << "01 03 00 00 00 01" << "Command1" << "Command79"
                                  << QByteArray::fromHex("010300000001");
    QTest::newRow("odd digit count") << "Text1" << "1 2 3" << "Command1" << "Command79"
                                     << QByteArray::fromHex("1203");
    QTest::newRow("RTU") << "Text1" << "01 03 00 00 00 01" << "Command11" << "Command80"
                         << QByteArray::fromHex("010300000001840A");
    QTest::newRow("ASCII") << "Text1" << "01 20 00" << "Command10" << "Command77"
                           << QByteArray(":012000DF\r\n");
    QTest::newRow("ASCII of six bytes") << "Text1" << "010300000001" << "Command10"
                                        << "Command77" << QByteArray(":010300000001FB\r\n");
    QTest::newRow("text") << "Text5" << "AB" << "Command37" << "Command78" << QByteArray("AB");
    QTest::newRow("Chinese text as GBK") << "Text5" << QStringLiteral("中A") << "Command37"
                                         << "Command78" << QByteArray("\xD6\xD0" "A");
}

void TestFrmMainList::manualSends()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, send);
    QFETCH(QString, add);
    QFETCH(QByteArray, wire);

    WindowFixture f;
    QVERIFY(f.open());
    f.set(box, text);
    f.click(send.toLatin1().constData());
    QCOMPARE(f.pty.read(wire.size()), wire);
    QCOMPARE(f.control<QListWidget>("List1")->count(), 0);

    f.click(add.toLatin1().constData());
    QCOMPARE(f.pty.read(wire.size()), wire);
    QCOMPARE(f.listLines(), QStringList{FormatHexText(wire)});
    QVERIFY(!f.window.AddToListRequest);
    QCOMPARE(f.box(box.toLatin1().constData())->text(), text);
}

void TestFrmMainList::manualSendWithNothingToSend()
{
    WindowFixture f;
    QVERIFY(f.open());
    f.box("Text1")->setText(QStringLiteral("   "));
    for (const char *button : {"Command79", "Command77", "Command80", "Command78"})
        f.click(button);
    // The dropped requests do not reach the next command.
    f.click("Command17");
    QCOMPARE(f.control<QListWidget>("List1")->count(), 0);
    QCOMPARE(f.pty.read(9), QByteArray::fromHex("01250400000064FCDE"));
    QCOMPARE(f.pty.readAvailable(), QByteArray());
}

void TestFrmMainList::checkBoxes_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("buttons"); // clicked in order
    QTest::addColumn<QString>("expected"); // Text1|Text2|Text3|Text4 afterwards

    QTest::newRow("CRC low first") << "01 03 00 00 00 01" << "Command8"
                                   << "01 03 00 00 00 01|84|0A|";
    QTest::newRow("CRC high first") << "01 03 00 00 00 01" << "Command2"
                                    << "01 03 00 00 00 01|0A|84|";
    QTest::newRow("append CRC") << "01 03 00 00 00 01" << "Command8 Command3"
                                << "01 03 00 00 00 01 84 0A|84|0A|";
    QTest::newRow("no digits: CRC boxes keep their text") << " " << "Command8 Command2"
                                                          << " |||";
    QTest::newRow("LRC") << "01 20 00" << "Command9" << "01 20 00|||DF";
    QTest::newRow("one-digit LRC appended") << "FB" << "Command9 Command4" << "FB 5|||5";
    QTest::newRow("LRC of nothing") << "" << "Command9" << "|||0";
}

void TestFrmMainList::checkBoxes()
{
    QFETCH(QString, text1);
    QFETCH(QString, buttons);
    QFETCH(QString, expected);
    WindowFixture f;
    f.box("Text1")->setText(text1);
    for (const QString &button : buttons.split(u' '))
        f.click(button.toLatin1().constData());
    const QString boxes = QStringList{f.box("Text1")->text(), f.box("Text2")->text(),
                                      f.box("Text3")->text(), f.box("Text4")->text()}
                                  .join(u'|');
    QCOMPARE(boxes, expected);
}

void TestFrmMainList::conversions()
{
    WindowFixture f;
    QVERIFY(f.open());
    f.box("Text5")->setText(QStringLiteral("Hello步进"));
    f.click("Command5");
    QCOMPARE(f.box("Text1")->text(), QStringLiteral("48 65 6C 6C 6F B2BD BDF8 "));
    f.box("Text5")->clear();
    f.click("Command56");
    QCOMPARE(f.box("Text5")->text(), QStringLiteral("Hello步进"));
    // With the CRC appended, the typed bytes send what the RTU button sends.
    f.box("Text1")->setText(QStringLiteral("01 03 00 00 00 01"));
    f.click("Command11");
    const QByteArray rtu = f.pty.read(8);
    f.click("Command8");
    f.click("Command3");
    f.click("Command1");
    QCOMPARE(f.pty.read(8), rtu);
}

void TestFrmMainList::longTexts()
{
    // The boxes hold what they are given: 12000 characters are 36000 of hex, and
    // the CRC appended to them goes out with them.
    WindowFixture f;
    QVERIFY(f.open());
    f.box("Text5")->setText(QString(12000, u'A'));
    f.click("Command5");
    QCOMPARE(f.box("Text1")->text().size(), 36000);
    f.click("Command8");
    f.click("Command3");
    f.click("Command1");
    QCOMPARE(f.pty.read(12002), frameRtu(QByteArray(12000, 'A')));
}

void TestFrmMainList::insertLines()
{
    WindowFixture f;
    f.click("Command34");
    f.click("Command35");
    f.box("Text21")->setText(QStringLiteral("abc"));
    f.click("Command35");
    QCOMPARE(f.listLines(), (QStringList{"Delay:1000", "GoIdx:0", "GoIdx:abc"}));
}

void TestFrmMainList::delayGuard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");

    QTest::newRow("above") << "70000" << "60000";
    QTest::newRow("fraction above") << "60000.5" << "60000";
    QTest::newRow("empty") << "" << "50";
    QTest::newRow("fraction below") << "49.9" << "50";
    QTest::newRow("no number") << "abc" << "50";
    QTest::newRow("lowest") << "50" << "50";
    QTest::newRow("highest") << "60000" << "60000";
    QTest::newRow("inside") << "1234" << "1234";
}

void TestFrmMainList::delayGuard()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    WindowFixture f;
    f.box("Text20")->setText(text);
    QCOMPARE(f.box("Text20")->text(), kept);
}

void TestFrmMainList::deleteAndClear()
{
    WindowFixture f;
    auto *list = f.control<QListWidget>("List1");
    list->addItems({"a", "b", "c", "d"});
    auto *remove = f.control<QAction>("DelectList");
    remove->trigger(); // nothing selected: nothing removed
    QCOMPARE(list->count(), 4);
    list->setCurrentRow(0);
    remove->trigger();
    // Only the chosen line goes; nothing is selected after it, so a second
    // "删除" removes nothing.
    QCOMPARE(list->selectedItems().size(), 0);
    remove->trigger();
    QCOMPARE(f.listLines(), (QStringList{"b", "c", "d"}));
    list->item(2)->setSelected(true);
    remove->trigger();
    QCOMPARE(f.listLines(), (QStringList{"b", "c"}));
    f.control<QAction>("DelectAll")->trigger();
    QCOMPARE(list->count(), 0);
}

void TestFrmMainList::contextMenu()
{
    WindowFixture f;
    f.window.show();
    auto *list = f.control<QListWidget>("List1");
    list->addItems({"a", "b"});
    QMenu *menu = f.control<QMenu>("MenuCMD");

    const QPoint onSecond = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onSecond);
    QVERIFY(list->item(1)->isSelected());
    QVERIFY(!menu->isVisible());

    // A right click on another line leaves the selection where it was, so that
    // "删除" removes the selected line.
    list->addItem(QStringLiteral("c"));
    const QPoint onThird = list->visualItemRect(list->item(2)).center();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, onThird);
    QVERIFY(list->item(1)->isSelected());
    QVERIFY(!list->item(2)->isSelected());
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, onThird,
                                 list->viewport()->mapToGlobal(onThird));
    QCoreApplication::sendEvent(list->viewport(), &rightClick);
    QVERIFY(menu->isVisible());
    menu->hide();
    f.control<QAction>("DelectList")->trigger();
    QCOMPARE(f.listLines(), (QStringList{"a", "c"}));
}

void TestFrmMainList::fullList()
{
    WindowFixture f;
    auto *list = f.control<QListWidget>("List1");
    list->addItems(QStringList(32767, QStringLiteral("Delay:50")));
    f.click("Command34");
    f.click("Command46");
    QCOMPARE(list->count(), 32767);
    QCOMPARE(f.messages.size(), 2);
    QVERIFY(f.messages.first().contains(u"32767"));
}

void TestFrmMainList::runLoop()
{
    WindowFixture f;
    QVERIFY(f.open());
    auto *list = f.control<QListWidget>("List1");
    list->addItems({"01 20 00 39 C0 ", "Delay:500", "01 36 00 37 A0 ", "GoIdx:0"});
    QTimer *timer = f.timer("Timer2");
    QCheckBox *loop = f.control<QCheckBox>("Check1");

    loop->click();
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(!f.box("Text22")->isEnabled());
    QCOMPARE(f.window.SequencerLine, qint16(0));

    const QByteArray a = QByteArray::fromHex("01200039C0");
    const QByteArray b = QByteArray::fromHex("01360037A0");
    const QList<QPair<QByteArray, int>> expected{{a, 500}, {b, 1000}, {a, 500}, {b, 1000}};
    for (const auto &[frame, interval] : expected) {
        f.window.Timer2_Timer();
        QCOMPARE(f.pty.read(frame.size()), frame);
        QCOMPARE(timer->interval(), interval);
        QVERIFY(timer->isActive());
    }
    QCOMPARE(f.window.SequencerLine, qint16(0));
    f.window.Timer2_Timer();
    QCOMPARE(f.window.SequencerLine, qint16(2));

    // Unticking stops; ticking again starts at line 0.
    loop->click();
    QVERIFY(!timer->isActive());
    QVERIFY(f.box("Text22")->isEnabled());
    loop->click();
    QCOMPARE(f.window.SequencerLine, qint16(0));

    // With the port closed the run goes on through the list and sends nothing.
    f.click("Command33");
    f.pty.readAvailable();
    f.window.Timer2_Timer();
    QCOMPARE(f.window.SequencerLine, qint16(2));
    QCOMPARE(f.pty.readAvailable(), QByteArray());
}

void TestFrmMainList::runLoopRefusesBadInterval_data()
{
    QTest::addColumn<QString>("interval");
    QTest::newRow("above 65535") << "70000";
    QTest::newRow("negative") << "-1";
    QTest::newRow("huge") << "1e400";
}

void TestFrmMainList::runLoopRefusesBadInterval()
{
    QFETCH(QString, interval);
    WindowFixture f;
    f.box("Text22")->setText(interval);
    f.control<QCheckBox>("Check1")->click();
    QVERIFY(!f.control<QCheckBox>("Check1")->isChecked());
    QVERIFY(!f.timer("Timer2")->isActive());
    QVERIFY(f.box("Text22")->isEnabled());
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages.first().contains(u"65535"));
}

void TestFrmMainList::runLoopIntervalZeroStartsNoTick()
{
    WindowFixture f;
    f.box("Text22")->setText(QStringLiteral("0"));
    f.control<QCheckBox>("Check1")->click();
    QVERIFY(f.control<QCheckBox>("Check1")->isChecked());
    QVERIFY(!f.timer("Timer2")->isActive());
    QVERIFY(f.messages.isEmpty());
    // A delay of 0 halts a running loop the same way.
    f.box("Text22")->setEnabled(true);
    f.box("Text22")->setText(QStringLiteral("100"));
    f.control<QListWidget>("List1")->addItems({"AA ", "Delay:0"});
    f.control<QCheckBox>("Check1")->click();
    f.control<QCheckBox>("Check1")->click();
    QVERIFY(f.timer("Timer2")->isActive());
    f.window.Timer2_Timer();
    QVERIFY(!f.timer("Timer2")->isActive());
    QVERIFY(f.control<QCheckBox>("Check1")->isChecked());
}

void TestFrmMainList::saveAndOpen()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    WindowFixture f;
    f.click("Command38");
    f.click("Command34");
    f.click("Command35");
    f.control<QListWidget>("List1")->addItem(QString()); // not written
    const QStringList lines = f.listLines();

    f.dialogs.fileNames << path;
    f.click("Command55");
    QCOMPARE(f.dialogs.fileDialogs.last(),
             QStringLiteral("保存文件|TXT文件(*.TXT);;所有文件(*.*)"));
    QCOMPARE(fileContent(path), (lines[0] + QStringLiteral("\r\nDelay:1000\r\nGoIdx:0\r\n")).toLatin1());

    f.control<QAction>("DelectAll")->trigger();
    f.dialogs.fileNames << path;
    f.click("Command54");
    QCOMPARE(f.dialogs.fileDialogs.last(),
             QStringLiteral("打开文件|txt文件(*.txt);;所有文件(*.*)"));
    QCOMPARE(f.listLines(), lines.mid(0, 3));
    QVERIFY(f.messages.isEmpty());
    QVERIFY(f.dialogs.questions.isEmpty());

    // Cancelled dialogs change nothing.
    f.click("Command54");
    f.click("Command55");
    QCOMPARE(f.listLines(), lines.mid(0, 3));
}

void TestFrmMainList::overwriteQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("emptyList");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("No keeps the file") << false << false << QByteArray("old\r\n");
    QTest::newRow("Yes replaces it") << true << false << QByteArray("Delay:1000\r\n");
    QTest::newRow("Yes with an empty list removes it") << true << true
                                                       << QByteArray("<missing>");
}

void TestFrmMainList::overwriteQuestion()
{
    QFETCH(bool, yes);
    QFETCH(bool, emptyList);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeFile(path, "old\r\n"));
    WindowFixture f;
    if (!emptyList)
        f.click("Command34");
    f.dialogs.fileNames << path;
    f.dialogs.answers << yes;
    f.click("Command55");
    QCOMPARE(f.dialogs.questions, QStringList{QStringLiteral("文件保存|是否覆盖文件？")});
    QCOMPARE(fileContent(path), after);
}

void TestFrmMainList::openFailures()
{
    QTemporaryDir dir;
    WindowFixture f;
    f.control<QListWidget>("List1")->addItems({"keep", "me"});

    f.dialogs.fileNames << dir.filePath(QStringLiteral("missing.txt"));
    f.click("Command54");
    QCOMPARE(f.messages, QStringList{QStringLiteral("文件名无效,请重新打开!")});

    // A folder exists but cannot be read as a list: said, and the list stays.
    f.dialogs.fileNames << dir.path();
    f.click("Command54");
    QCOMPARE(f.messages.size(), 2);
    QVERIFY(f.messages.last().contains(dir.path()));
    QCOMPARE(f.listLines(), (QStringList{"keep", "me"}));

    // An empty file empties the list.
    const QString empty = dir.filePath(QStringLiteral("empty.txt"));
    QFile(empty).open(QIODevice::WriteOnly);
    f.dialogs.fileNames << empty;
    f.click("Command54");
    QCOMPARE(f.listLines(), QStringList());
}

void TestFrmMainList::saveFailureIsShown()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    WindowFixture f;
    f.control<QListWidget>("List1")->addItem(QStringLiteral("GoIdx:😀"));
    f.dialogs.fileNames << path;
    f.click("Command55");
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages.first().contains(u"第 1 行"));
    QVERIFY(!QFile::exists(path));
}

void TestFrmMainList::openLongFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.txt"));
    QByteArray content;
    for (int i = 0; i < 33000; ++i)
        content += "Delay:" + QByteArray::number(i) + "\n";
    QVERIFY(writeFile(path, content));
    WindowFixture f;
    f.window.LoadListFile(path);
    QCOMPARE(f.control<QListWidget>("List1")->count(), 32767);
    QCOMPARE(f.control<QListWidget>("List1")->item(32766)->text(), QStringLiteral("Delay:32766"));
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages.first().contains(u"32767"));
}

void TestFrmMainList::ioTable_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("buttons");
    QTest::addColumn<QByteArray>("wire");

    const auto rtu = [](const char *payload) { return frameRtu(QByteArray::fromHex(payload)); };
    QTest::newRow("download stop under 00011") << "Combo8=00011;Text31=3C 00 " << "Command81"
                                               << rtu("014003033C00");
    QTest::newRow("download a move under 00001") << "Text31=31 04 00 00 27 10 " << "Command81"
                                                 << rtu("01400701310400002710");
    QTest::newRow("download blanks: code alone") << "Combo8=00110;Text31=  " << "Command81"
                                                 << rtu("01400106");
    QTest::newRow("empty box: nothing") << "Text31=" << "Command81" << QByteArray();
    QTest::newRow("query 10000") << "Combo8=10000" << "Command88" << rtu("01410110");
    QTest::newRow("query typed 1 is 16") << "Combo8=1" << "Command88" << rtu("01410110");
    QTest::newRow("query 11111 at station 5") << "Combo8=11111;Text23=5" << "Command88"
                                              << rtu("0541011F");
    QTest::newRow("down arrow then download") << "Combo8=00001" << "Command90 Command81"
                                              << rtu("013C00") + rtu("014003013C00");
}

void TestFrmMainList::ioTable()
{
    QFETCH(QString, settings);
    QFETCH(QString, buttons);
    QFETCH(QByteArray, wire);
    WindowFixture f;
    QVERIFY(f.open());
    f.apply(settings);
    for (const QString &button : buttons.split(u' '))
        f.click(button.toLatin1().constData());
    QCOMPARE(f.pty.read(wire.size(), wire.isEmpty() ? 0 : 2000).toHex(' '), wire.toHex(' '));
    QCOMPARE(f.pty.readAvailable(), QByteArray());
    QVERIFY(f.messages.isEmpty());
}

void TestFrmMainList::ioCommandTooLong()
{
    WindowFixture f;
    QVERIFY(f.open());
    f.box("Text31")->setText(QString(255 * 3, u'A'));
    f.click("Command81");
    QCOMPARE(f.pty.readAvailable(), QByteArray());
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages.first().contains(u"254"));
    // 254 bytes still fit.
    f.box("Text31")->setText(QString(254 * 2, u'A'));
    f.click("Command81");
    QCOMPARE(f.pty.read(4 + 254 + 2).size(), 4 + 254 + 2);
}

QTEST_MAIN(TestFrmMainList)
#include "tst_frm_main_list.moc"
