#include "codec/hex_text.h"

#include <QTest>

enum class Conversion { Parse, ToHex, ToText }; // ParseHexText, StringToHexText, HexTextToString
Q_DECLARE_METATYPE(Conversion)

class TestHexText : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTrips()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString text = FormatHexText(all);
        QCOMPARE(text.left(6) + text.right(6), QStringLiteral("00 01 FE FF "));
        QCOMPARE(ParseHexText(text), all);
    }

    void conversions_data()
    {
        QTest::addColumn<Conversion>("conversion");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output"); // of Parse: the bytes in hex
        using enum Conversion;
        auto row = [](const char *name, Conversion conversion, const QString &input,
                      const QString &output) {
            QTest::newRow(name) << conversion << input << output;
        };
        // Typed hex: blanks dropped, pairs by position, a lone last digit a byte.
        row("paired by position", Parse, "01 3 0 0 0 0 0 0 0 1", "013000000001");
        row("odd count: last digit alone", Parse, "abc", "AB0C");
        row("tab and line feed inside pairs, junk ending one", Parse, "\t1A\n1G", "010A01");
        row("non-ASCII characters", Parse, QStringLiteral("中文"), "00");
        // The manual panel's buttons: GBK codes without leading zeros, and back.
        const QString bad{QChar(QChar::ReplacementCharacter)};
        row("ASCII and Chinese", ToHex, QStringLiteral("A中B 步进"), "41 D6D0 42 20 B2BD BDF8 ");
        row("tab: one digit", ToHex, "A\tB", "41 9 42 ");
        row("no GBK code: one ?", ToHex, QStringLiteral("😀"), "3F ");
        row("back", ToText, "41D6D04220B2BDBDF8", QStringLiteral("A中B 步进"));
        row("7F is a character of its own", ToText, "7F41", QString(QChar(0x7F)) + u'A');
        row("code above 7F cut short", ToText, "41D6", "A" + bad);
        row("invalid GBK code, walk goes on", ToText, "812041", bad + "A");
    }
    void conversions()
    {
        QFETCH(Conversion, conversion);
        QFETCH(QString, input);
        QFETCH(QString, output);
        const QString result = conversion == Conversion::Parse
                ? QString::fromLatin1(ParseHexText(input).toHex().toUpper())
                : conversion == Conversion::ToHex ? StringToHexText(input)
                                                  : HexTextToString(input);
        QCOMPARE(result, output);
    }
};

QTEST_GUILESS_MAIN(TestHexText)
#include "tst_hex_text.moc"
