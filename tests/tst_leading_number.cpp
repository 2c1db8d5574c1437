#include "device/leading_number.h"

#include <QLocale>
#include <QTest>

using Value = std::optional<qint64>;
Q_DECLARE_METATYPE(Value)
Q_DECLARE_METATYPE(NumberBase)

class TestLeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    // A comma-decimal locale must not change how a box reads.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void readField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<NumberBase>("base");
        QTest::addColumn<bool>("byte"); // a byte field; otherwise a 32-bit one
        QTest::addColumn<Value>("value"); // nothing: refused
        auto row = [](const char *name, const QString &text, Value value,
                      NumberBase base = NumberBase::Decimal, bool byte = false) {
            QTest::newRow(name) << text << base << byte << value;
        };
        row("junk after the number", "12abc", 12);
        row("blanks, tabs and line feeds ignored", "- 1\t0\n0", -100);
        row("exponent", "1e3", 1000);
        row("plus sign", "+42", 42);
        row("2.5 rounds to even", "2.5", 2);
        row("101.5 rounds to even", "101.5", 102);
        row("&H", "&H1A", 26);
        row("&h", "&hff", 255);
        row("smallest", "-2147483648", -2147483648LL);
        for (const char *text : {"2147483648", "2147483647.5", "1e400"})
            row(text, text, {}); // refused
        row("underflowing exponent", "1E-400", 0);
        row("two signs", "+-5", 0);
        row("words are no numbers", "inf", 0);
        row("hex byte", " 1 A", 26, NumberBase::Hexadecimal, true);
        row("hex: a sign is no digit", "-1", 0, NumberBase::Hexadecimal, true);
        row("decimal byte 256 refused", "256", {}, NumberBase::Decimal, true);
    }
    void readField()
    {
        QFETCH(QString, text);
        QFETCH(NumberBase, base);
        QFETCH(bool, byte);
        QFETCH(Value, value);
        QCOMPARE(::readField(text, base, byte ? ByteField : Int32Field), value);
    }
};

QTEST_GUILESS_MAIN(TestLeadingNumber)
#include "tst_leading_number.moc"
