#include "device/leading_number.h"

#include <QTest>

#include <optional>

using OptionalValue = std::optional<qint64>;
Q_DECLARE_METATYPE(OptionalValue)
Q_DECLARE_METATYPE(NumberBase)

namespace {
constexpr OptionalValue refused = std::nullopt;
}

class TestLeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void int32Field_data();
    void int32Field();
    void byteField_data();
    void byteField();
    void localeDoesNotChangeReading();
};

void TestLeadingNumber::int32Field_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<OptionalValue>("value");

    // 100, 12abc, 12 km, 1e3, 100.5, 101.5, 2.5, 3.5, -10000, the limits, empty
    // and abc go through the value boxes onto the wire in tst_commands.
    QTest::newRow("upper-case exponent, sign") << "15E-1" << OptionalValue(2);
    QTest::newRow("exponent without digits") << "1e" << OptionalValue(1);
    QTest::newRow("exponent sign without digits") << "7e+" << OptionalValue(7);
    QTest::newRow("-2.5 gives -2") << "-2.5" << OptionalValue(-2);
    QTest::newRow("above half rounds up") << "2.51" << OptionalValue(3);
    QTest::newRow("leading point") << ".6" << OptionalValue(1);
    QTest::newRow("trailing point") << "5." << OptionalValue(5);
    QTest::newRow("plus sign") << "+42" << OptionalValue(42);
    QTest::newRow("blanks inside") << " 1 0 0 " << OptionalValue(100);
    QTest::newRow("tab and line feed inside") << "-\t1\n5" << OptionalValue(-15);
    QTest::newRow("&H prefix") << "&H1A" << OptionalValue(26);
    QTest::newRow("&h lower case") << "&hff" << OptionalValue(255);
    QTest::newRow("&H without digits") << "&H" << OptionalValue(0);
    QTest::newRow("&H then junk") << "&HZ1" << OptionalValue(0);
    QTest::newRow("rounds into range") << "-2147483648.5" << OptionalValue(-2147483648LL);
    QTest::newRow("&H largest") << "&H7FFFFFFF" << OptionalValue(2147483647);
    QTest::newRow("lone sign") << "-" << OptionalValue(0);
    QTest::newRow("lone point") << "." << OptionalValue(0);
    QTest::newRow("two signs") << "+-5" << OptionalValue(0);
    QTest::newRow("words are no numbers") << "inf" << OptionalValue(0);
    QTest::newRow("nan neither") << "-nan" << OptionalValue(0);
    QTest::newRow("zero with a huge exponent") << "0e99999999" << OptionalValue(0);
    QTest::newRow("tiny") << "1e-400" << OptionalValue(0);
    QTest::newRow("one past the largest") << "2147483648" << refused;
    QTest::newRow("one below the smallest") << "-2147483649" << refused;
    QTest::newRow("rounds out of range") << "2147483647.5" << refused;
    QTest::newRow("&H past the largest") << "&H80000000" << refused;
    QTest::newRow("overflowing exponent") << "1e400" << refused;
    QTest::newRow("negative overflowing exponent") << "-1e400" << refused;
    QTest::newRow("exponent with many digits") << "1e99999999999" << refused;
    QTest::newRow("hundreds of digits") << QString(400, u'9') << refused;
    QTest::newRow("long hex") << "&H" + QString(300, u'F') << refused;
}

void TestLeadingNumber::int32Field()
{
    QFETCH(QString, text);
    QFETCH(OptionalValue, value);
    QCOMPARE(readField(text, NumberBase::Decimal, Int32Field), value);
}

void TestLeadingNumber::byteField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<NumberBase>("base");
    QTest::addColumn<OptionalValue>("value");

    const auto hex = NumberBase::Hexadecimal;
    const auto dec = NumberBase::Decimal;
    // The hexadecimal texts 1, 0A, a, 1G, FF, 10 and empty go through the address
    // boxes, decimal 10 through a direction box, onto the wire in tst_commands.
    QTest::newRow("hex 1A") << "1A" << hex << OptionalValue(26);
    QTest::newRow("hex sign is not a digit") << "-1" << hex << OptionalValue(0);
    QTest::newRow("hex blanks ignored") << " F F " << hex << OptionalValue(255);
    QTest::newRow("hex 100 refused") << "100" << hex << refused;
    QTest::newRow("hex huge refused") << QString(100, u'F') << hex << refused;
    QTest::newRow("decimal 255") << "255" << dec << OptionalValue(255);
    QTest::newRow("decimal 255.4") << "255.4" << dec << OptionalValue(255);
    QTest::newRow("decimal 256 refused") << "256" << dec << refused;
    QTest::newRow("decimal 255.5 refused") << "255.5" << dec << refused;
    QTest::newRow("decimal -1 refused") << "-1" << dec << refused;
    QTest::newRow("decimal -0.4 is 0") << "-0.4" << dec << OptionalValue(0);
}

void TestLeadingNumber::byteField()
{
    QFETCH(QString, text);
    QFETCH(NumberBase, base);
    QFETCH(OptionalValue, value);
    QCOMPARE(readField(text, base, ByteField), value);
}

void TestLeadingNumber::localeDoesNotChangeReading()
{
    // A comma-decimal locale must not make "100.5" read differently.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(readField(u"100.5", NumberBase::Decimal, Int32Field), OptionalValue(100));
    QCOMPARE(readField(u"1,5", NumberBase::Decimal, Int32Field), OptionalValue(1));
    QLocale::setDefault(previous);
}

QTEST_GUILESS_MAIN(TestLeadingNumber)
#include "tst_leading_number.moc"
