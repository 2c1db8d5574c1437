// The command buttons: the frame each sends in both modes, the values they
// refuse, and the ">" and "↓" buttons that lead to them.

#include "codec/hex_text.h"
#include "device/frame.h"
#include "window_fixture.h"

namespace {

// Every value box holds a value of its own, so that a button reading another
// box, or a box in the wrong base, shows in its frame.
const QString distinctValues
        = u"Text23=7;Text7=2A;Combo6=19200;Text12=12;Text13=13;Text14=14;Text15=15;Text16=16;"
          "Text29=29;Text8=-8;Text9=9;Combo3=3;Text10=10;Text11=11;Combo4=4;Combo5=15;Text30=30;"
          "Text32=32"_s;

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void frames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("settings"); // over the distinct values
        QTest::addColumn<QByteArray>("payload"); // framed for the mode on the wire
        QTest::addColumn<QString>("range"); // a refusal: the range its message gives
        // Button=payload: the address is 7, from Text23, except for the address query.
        const QString rows
                = u"Command12=072000 Command13=002100 Command14=0722012A Command15=072300 "
                  "Command16=07240108 Command17=0725040000000C Command24=0727040000000D "
                  "Command25=0729040000000E Command26=072B040000000F Command27=072D0400000010 "
                  "Command64=072F040000001D Command57=072600 Command58=072800 Command59=072A00 "
                  "Command60=072C00 Command61=072E00 Command62=073000 Command28=073600 "
                  "Command30=073700 Command31=073900 Command29=073B00 Command66=073800 "
                  "Command67=073A00 Command18=073104FFFFFFF8 Command19=07320403000009 "
                  "Command20=0733040000000A Command21=0734040400000B Command65=0735040000001E "
                  "Command23=073C00 Command22=073D00 Command7=073E0115 Command91=07440400000020 "
                  "Command92=074500 Command93=074600 Command94=074200"_s;
        for (const QString &row : rows.split(u' '))
            QTest::newRow(qPrintable(row.section(u'=', 0, 0)))
                    << row.section(u'=', 0, 0) << QString()
                    << QByteArray::fromHex(row.section(u'=', 1).toLatin1()) << QString();
        // Rates the controller has no code for, and typed text, go out as code 0.
        for (const QString &row :
             u"2400=04,4800=05,9600=06,14400=07,38400=09,57600=00,9600 =00"_s.split(u','))
            QTest::newRow(qPrintable(u"baud rate "_s + row))
                    << u"Command16"_s << u"Combo6="_s + row.section(u'=', 0, 0)
                    << QByteArray::fromHex("072401" + row.section(u'=', 1).toLatin1()) << QString();
        const char *const hexByte = "00 到 FF";
        const char *const int32 = "-2147483648 到 2147483647";
        // The last two through ">" and "↓".
        const char *const refusals[][3] = {
                {"Command12", "Text23=100", hexByte},      {"Command14", "Text7=1FF", hexByte},
                {"Command17", "Text12=2147483648", int32}, {"Command19", "Combo3=256", "0 到 255"},
                {"Command7", "Combo5=100", hexByte},       {"Command38", "Text8=-1e400", int32},
                {"Command84", "Text10=9e9", int32}};
        for (const auto &[button, setting, range] : refusals)
            QTest::addRow("%s %s", button, setting)
                    << button << setting << QByteArray() << QString::fromUtf8(range);
    }

    void frames()
    {
        QFETCH(QString, button);
        QFETCH(QString, settings);
        QFETCH(QByteArray, payload);
        QFETCH(QString, range);
        WindowFixture f;
        f.apply(distinctValues + u";Text31=3C 00 ;"_s + settings);
        QVERIFY(f.open());
        f.click(button);
        if (payload.isEmpty()) {
            // Nothing sent; the message names the box, the value and the range.
            QCOMPARE(f.pty.readAvailable() + f.text("RichTextBox2").toUtf8(), QByteArray());
            QCOMPARE(f.messages.size(), 1);
            for (const QString &part :
                 {settings.section(u'=', 0, 0), settings.section(u'=', 1), range})
                QVERIFY2(f.messages.first().contains(part), qPrintable(f.messages.first()));
            // No request outlives the refusal: the next click, with a good value, only sends.
            f.apply(settings.section(u'=', 0, 0) + u"=1"_s);
            f.click("Command18");
            QVERIFY(!f.sent().isEmpty());
            QCOMPARE(f.list()->count(), 0);
            QCOMPARE(f.text("Text31"), u"3C 00 "_s);
            return;
        }
        QCOMPARE(f.sent().toHex(' '), frameRtu(payload).toHex(' '));
        f.mode(1);
        f.click(button);
        QCOMPARE(f.sent(), frameAscii(payload));
        QCOMPARE(f.pty.readAvailable(), QByteArray());
        QVERIFY(f.messages.isEmpty());
    }

    void addButtons_data()
    {
        QTest::addColumn<QString>("add");
        QTest::addColumn<QString>("target"); // the button whose frame it adds
        QTest::addColumn<bool>("toList"); // ">"; otherwise "↓", to the IO box
        // Add=target: Command82 and the buttons after it add to the IO box, the others to the list.
        const QString rows
                = u"Command38=Command18 Command39=Command19 Command40=Command20 "
                  "Command41=Command21 Command42=Command7 Command43=Command29 Command44=Command22 "
                  "Command45=Command23 Command46=Command17 Command47=Command24 Command48=Command25 "
                  "Command49=Command26 Command50=Command27 Command51=Command28 Command52=Command30 "
                  "Command53=Command31 Command63=Command64 Command68=Command65 Command69=Command66 "
                  "Command70=Command67 Command71=Command57 Command72=Command58 Command73=Command59 "
                  "Command74=Command60 Command75=Command61 Command76=Command62 Command77=Command10 "
                  "Command78=Command37 Command79=Command1 Command80=Command11 Command82=Command18 "
                  "Command83=Command19 Command84=Command20 Command85=Command21 Command86=Command7 "
                  "Command87=Command65 Command89=Command22 Command90=Command23 Command97=Command92 "
                  "Command98=Command93"_s;
        for (const QString &row : rows.split(u' ')) {
            const QString add = row.section(u'=', 0, 0);
            QTest::newRow(qPrintable(add)) << add << row.section(u'=', 1) << (add < u"Command82");
        }
    }

    void addButtons()
    {
        QFETCH(QString, add);
        QFETCH(QString, target);
        QFETCH(bool, toList);
        WindowFixture f;
        f.apply(u"Text1=01 03 00 00 00 01;Text5=A中"_s); // for the manual panel
        QVERIFY(f.open());
        // The add button sends what its target sends, in either mode, and adds that frame
        // to the list, or the request's command part (no address, no CRC) to the IO box.
        QStringList lines;
        QString command;
        for (const int mode : {0, 1}) {
            f.mode(mode);
            f.click(target);
            const QByteArray direct = f.sent();
            QVERIFY(!direct.isEmpty());
            if (mode == 0 && !toList)
                command = FormatHexText(direct.mid(1, direct.size() - 3));
            f.apply(u"Text31=AA "_s);
            f.click(add);
            QCOMPARE(f.sent().toHex(' '), direct.toHex(' '));
            if (toList)
                lines << FormatHexText(direct);
            QCOMPARE(f.listLines(), lines);
            QCOMPARE(f.text("Text31"), toList ? u"AA "_s : command);
        }
        // One-shot: a direct click afterwards only sends.
        f.apply(u"Text31="_s);
        f.click(target);
        QVERIFY(!f.sent().isEmpty());
        QCOMPARE(f.listLines(), lines);
        QCOMPARE(f.text("Text31"), QString());
        // With the port closed the add button still adds, and sends nothing.
        f.click("Command33");
        f.click(add);
        if (toList)
            lines << lines.last();
        QCOMPARE(f.listLines(), lines);
        QCOMPARE(f.text("Text31"), toList ? QString() : command);
        QCOMPARE(f.pty.readAvailable(), QByteArray());
        QVERIFY(f.messages.isEmpty());
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
