#include "codec/hex_text.h"

#include <QTest>

class TestHexText : public QObject
{
    Q_OBJECT

private slots:
    void formatHexText_data();
    void formatHexText();
    void everyByteRoundTrips();
    void parseHexText_data();
    void parseHexText();
    void stringToHexText_data();
    void stringToHexText();
    void hexTextToString_data();
    void hexTextToString();
    void textRoundTrips_data();
    void textRoundTrips();
};

void TestHexText::formatHexText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("handshake frame") << QByteArray::fromHex("012000 39C0") << "01 20 00 39 C0 ";
    QTest::newRow("leading zero, final blank") << QByteArray::fromHex("0A") << "0A ";
    QTest::newRow("upper case") << QByteArray::fromHex("abcdef") << "AB CD EF ";
    QTest::newRow("no bytes") << QByteArray() << "";
}

void TestHexText::formatHexText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(FormatHexText(bytes), text);
}

void TestHexText::everyByteRoundTrips()
{
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QString text = FormatHexText(all);
    QCOMPARE(text.size(), 256 * 3);
    QCOMPARE(ParseHexText(text), all);
    for (int i = 0; i < 256; ++i)
        QCOMPARE(ParseHexText(FormatHexText(all.mid(i, 1))), all.mid(i, 1));
}

void TestHexText::parseHexText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("with blanks") << "01 03 00 00 00 01" << QByteArray::fromHex("010300000001");
    QTest::newRow("without blanks") << "010300000001" << QByteArray::fromHex("010300000001");
    QTest::newRow("paired by position, not by group")
            << "01 3 0 0 0 0 0 0 0 1" << QByteArray::fromHex("013000000001");
    QTest::newRow("odd count: last digit alone") << "abc" << QByteArray::fromHex("AB0C");
    QTest::newRow("three single digits") << "1 2 3" << QByteArray::fromHex("1203");
    QTest::newRow("single digit") << "4" << QByteArray::fromHex("04");
    QTest::newRow("lower case") << "ff" << QByteArray::fromHex("FF");
    QTest::newRow("leading digit then junk") << "1G" << QByteArray::fromHex("01");
    QTest::newRow("junk first") << "G1" << QByteArray::fromHex("00");
    QTest::newRow("tab inside a pair") << "\t1" << QByteArray::fromHex("01");
    QTest::newRow("line feed inside a pair") << "A\n" << QByteArray::fromHex("0A");
    QTest::newRow("only blanks") << "   " << QByteArray();
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("LRC digit appended") << "01 20 00 DF" << QByteArray::fromHex("012000DF");
    QTest::newRow("one-digit LRC appended") << "10 20 30 A0 01 20 00 5"
                                            << QByteArray::fromHex("102030A001200005");
    QTest::newRow("non-ASCII characters") << QString::fromUtf8("中文") << QByteArray(1, 0);
}

void TestHexText::parseHexText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(ParseHexText(text), bytes);
}

void TestHexText::stringToHexText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hex");

    QTest::newRow("ASCII") << "AB" << "41 42 ";
    QTest::newRow("tab: one digit") << "\t" << "9 ";
    QTest::newRow("CR LF") << "\r\n" << "D A ";
    QTest::newRow("Chinese character") << QString::fromUtf8("中") << "D6D0 ";
    QTest::newRow("mixed") << QString::fromUtf8("A中B") << "41 D6D0 42 ";
    QTest::newRow("NUL") << QString(QChar(0)) << "0 ";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("no GBK code") << QString::fromUtf8("😀") << "3F ";
}

void TestHexText::stringToHexText()
{
    QFETCH(QString, text);
    QFETCH(QString, hex);
    const QString before = text;
    QCOMPARE(StringToHexText(text), hex);
    QCOMPARE(text, before);
}

void TestHexText::hexTextToString_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("text");

    const QString replacement(QChar(QChar::ReplacementCharacter));
    QTest::newRow("ASCII") << "414243" << "ABC";
    QTest::newRow("Chinese between ASCII") << "41D6D042" << QString::fromUtf8("A中B");
    QTest::newRow("lone digit") << "4" << QString(QChar(4));
    QTest::newRow("junk pair") << "G1" << QString(QChar(0));
    QTest::newRow("empty") << "" << "";
    QTest::newRow("code above 7F cut short") << "41D6" << "A" + replacement;
    QTest::newRow("invalid GBK code, walk goes on") << "812041" << replacement + "A";
    QTest::newRow("junk in the four-digit group") << "D6G041" << replacement + "A";
    QTest::newRow("odd count padded before last digit") << "41D6D" << "A" + replacement;
}

void TestHexText::hexTextToString()
{
    QFETCH(QString, hex);
    QFETCH(QString, text);
    QCOMPARE(HexTextToString(hex), text);
}

void TestHexText::textRoundTrips_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("restored");

    QTest::newRow("Hello") << "Hello" << true;
    QTest::newRow("Chinese only") << QString::fromUtf8("步进电机控制器") << true;
    QTest::newRow("Chinese and ASCII") << QString::fromUtf8("速度=1000 脉冲") << true;
    QTest::newRow("tab shifts the pairing") << "A\tB" << false;
    QTest::newRow("line break shifts the pairing") << "A\r\nB" << false;
}

void TestHexText::textRoundTrips()
{
    // What the manual panel's two conversion buttons do: to hex, then back with
    // every blank removed.
    QFETCH(QString, text);
    QFETCH(bool, restored);
    const QString hex = StringToHexText(text);
    const QString back = HexTextToString(QString(hex).remove(u' '));
    QCOMPARE(back == text, restored);
}

QTEST_GUILESS_MAIN(TestHexText)
#include "tst_hex_text.moc"
