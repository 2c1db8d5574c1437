#include "codec/gbk.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

// Whatever comes to hand: junk in every box, files that are not command lists,
// ports that do not exist or go away. Nothing crashes or hangs, every refusal
// says why, and nothing already in the list or on disk is lost.
class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void valueBoxes_data();
    void valueBoxes();
    void files_data();
    void files();
    void deviceVanishesMidRun();
};

void TestBadInput::valueBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("refused"); // else sent as the number it reads

    const struct
    {
        const char *box, *button;
    } boxes[] = {{"Text12", "Command17"}, {"Text8", "Command18"}, {"Text9", "Command19"},
                 {"Combo3", "Command19"}, {"Combo5", "Command7"}, {"Text23", "Command12"},
                 {"Text7", "Command14"}, {"Text32", "Command91"}};
    const struct
    {
        const char *name, *text;
        bool refused;
    } texts[] = {{"junk", "zz!?", false},        {"huge", "99999999999999999999", true},
                 {"exponent", "1e400", true},     {"negative exponent", "-1e400", true},
                 {"lone sign", "-", false},       {"lone point", ".", false},
                 {"&H without digits", "&H", false}, {"control characters", "\t\n\r", false},
                 {"very long", "", false}};
    for (const auto &b : boxes) {
        for (const auto &t : texts) {
            QString text = QString::fromLatin1(t.text);
            bool refused = t.refused;
            if (qstrcmp(t.name, "very long") == 0) {
                text = QString(100000, u'7');
                refused = true;
            }
            // The hexadecimal boxes read no sign: "-1e400" is 0 there, while
            // "1e400" is the hex number 1E400, far above FF.
            const bool hex = qstrcmp(b.box, "Text23") == 0 || qstrcmp(b.box, "Text7") == 0
                    || qstrcmp(b.box, "Combo5") == 0;
            if (hex && qstrcmp(t.name, "negative exponent") == 0)
                refused = false;
            QTest::addRow("%s %s", b.box, t.name)
                    << QString::fromLatin1(b.box) << text << QString::fromLatin1(b.button) << refused;
        }
    }
}

void TestBadInput::valueBoxes()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(bool, refused);

    WindowFixture f;
    QVERIFY(f.open());
    f.click("Command38"); // a line already in the list
    f.pty.readAvailable();
    f.set(box, text);
    f.click(button.toLatin1().constData());

    const QByteArray sent = f.pty.read(1, refused ? 0 : 2000);
    QCOMPARE(sent.isEmpty(), refused);
    QCOMPARE(f.messages.size(), refused ? 1 : 0);
    if (refused)
        QVERIFY2(f.messages.first().contains(box), qPrintable(f.messages.first()));
    QCOMPARE(f.listLines().size(), 1);
}

void TestBadInput::files_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("lines");   // the list afterwards
    QTest::addColumn<int>("messages");

    QByteArray binary(64 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char &c : binary)
        c = char(rng.bounded(256));
    const int binaryLines = int(binary.count('\n') + binary.count('\r') - binary.count("\r\n"))
            + (binary.endsWith('\n') || binary.endsWith('\r') ? 0 : 1);
    QTest::newRow("binary") << binary << binaryLines << 0;
    QTest::newRow("invalid GBK") << QByteArray("\x81\x20\xFF\xFF\x80\r\nDelay:5\r\n") << 2 << 0;
    QTest::newRow("one 1 MB line") << QByteArray(1 << 20, 'A') << 1 << 0;
    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += "01 20 00 39 C0 \r\n";
    QTest::newRow("100000 lines") << many << 32767 << 1;
    QTest::newRow("empty") << QByteArray() << 0 << 0;
}

void TestBadInput::files()
{
    QFETCH(QByteArray, content);
    QFETCH(int, lines);
    QFETCH(int, messages);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.txt"));
    QVERIFY(writeFile(path, content));
    WindowFixture f;
    QVERIFY(f.open());
    f.dialogs.fileNames << path;
    f.click("Command54");
    QCOMPARE(f.listLines().size(), lines);
    QCOMPARE(f.messages.size(), messages);
    QCOMPARE(QFileInfo(path).size(), qint64(content.size())); // opening never writes

    // Whatever was loaded runs without stalling: each tick moves on.
    f.control<QCheckBox>("Check1")->click();
    for (int i = 0; i < 5; ++i)
        f.window.Timer2_Timer();
    QVERIFY(lines == 0 || f.window.SequencerLine != 0 || lines <= 5);

    // And saves again with its non-empty lines, unless a line holds what GBK
    // cannot write (a byte sequence that was no GBK character reads as a
    // character with no GBK code): then the save names that line, writes nothing.
    const QString copy = dir.filePath(QStringLiteral("copy.txt"));
    QStringList before = f.listLines();
    f.dialogs.fileNames << copy;
    f.click("Command55");
    const auto bad = std::find_if(before.cbegin(), before.cend(),
                                  [](const QString &line) { return !toGbk(line).complete; })
            - before.cbegin();
    if (bad < before.size()) {
        QVERIFY(f.messages.last().contains(QStringLiteral("第 %1 行").arg(bad + 1)));
        QVERIFY(!QFile::exists(copy));
        return;
    }
    f.dialogs.fileNames << copy;
    f.click("Command54");
    before.removeAll(QString());
    QCOMPARE(f.listLines(), before);
}

void TestBadInput::deviceVanishesMidRun()
{
    WindowFixture f;
    QVERIFY(f.open());
    f.control<QListWidget>("List1")->addItems({"01 20 00 39 C0 ", "Delay:50"});
    f.control<QCheckBox>("Check1")->click();
    f.window.Timer2_Timer();
    QCOMPARE(f.pty.read(5).size(), 5);
    f.pty.closeFarEnd();
    f.pty.closeTerminal();
    for (int i = 0; i < 20; ++i) {
        f.window.Timer2_Timer();
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE(f.messages.size(), 1);
    QVERIFY(f.timer("Timer2")->isActive()); // the run goes on, sending nothing
    QCOMPARE(f.listLines().size(), 2);
    QVERIFY(f.button("Command32")->isEnabled());
}

QTEST_MAIN(TestBadInput)
#include "tst_bad_input.moc"
