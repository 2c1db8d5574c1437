// The window's two languages: every text the user sees switches at once, and back; what goes over
// the wire and the values shown are the same in both (the list test saves a list file in English).

#include "device/frame.h"
#include "window_fixture.h"

#include <QAbstractItemView>
#include <QChartView>
#include <QDialogButtonBox>
#include <QLegendMarker>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QValueAxis>

namespace {

bool chinese(const QString &text)
{
    static const QRegularExpression han(
            u"[\\x{3000}-\\x{303F}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"_s);
    return text.contains(han);
}

// Every text of the window a user can come to see, keyed by where it is. Every
// tab is visited first, so that the pages and the chart are there.
QMap<QString, QString> shownTexts(FrmMain &window)
{
    for (QTabWidget *tabs : window.findChildren<QTabWidget *>()) {
        for (int i = 0; i < tabs->count(); ++i)
            tabs->setCurrentIndex(i);
        tabs->setCurrentIndex(0);
    }
    // Where an object is: the names of its ancestors, unnamed ones by class
    // and place among their siblings, so that objects made later move no key.
    const auto where = [](const QObject *object) {
        QStringList path;
        for (; object; object = object->parent()) {
            QString step = object->objectName();
            if (step.isEmpty() && object->parent()) {
                step = QString::fromLatin1(object->metaObject()->className()) + u'#'
                        + QString::number(object->parent()->children().indexOf(object));
            }
            path.prepend(step);
        }
        return path.join(u'/');
    };
    QMap<QString, QString> texts;
    for (QObject *object : window.findChildren<QObject *>()) {
        const auto add = [&](const QString &what, const QString &text) {
            if (!text.trimmed().isEmpty())
                texts.insert(where(object) + u' ' + what, text);
        };
        // Captions, titles, tips, placeholders, the words around a spin box's or a bar's
        // value, the pages, and the actions of the menus.
        for (const char *property : {"text", "title", "windowTitle", "toolTip", "placeholderText",
                                     "prefix", "suffix", "specialValueText", "format", "plainText"})
            add(QLatin1String(property), object->property(property).toString());
        if (auto *tabs = qobject_cast<QTabWidget *>(object)) {
            for (int i = 0; i < tabs->count(); ++i)
                add(u"tab %1"_s.arg(i), tabs->tabText(i) + tabs->tabToolTip(i));
        }
        if (auto *selector = qobject_cast<QComboBox *>(object)) {
            for (int i = 0; i < selector->count(); ++i)
                add(u"item %1"_s.arg(i), selector->itemText(i));
        }
        if (auto *view = qobject_cast<QAbstractItemView *>(object); view && view->model()) {
            for (int c = 0; c < view->model()->columnCount(); ++c)
                add(u"header %1"_s.arg(c), view->model()->headerData(c, Qt::Horizontal).toString());
        }
        if (auto *chart = qobject_cast<QChartView *>(object)) {
            for (const QAbstractAxis *axis : chart->chart()->axes())
                add(u"axis"_s, axis->titleText());
            for (const QLegendMarker *marker : chart->chart()->legend()->markers())
                add(u"legend"_s, marker->label());
        }
    }
    return texts;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void everyTextSwitchesAndBack()
    {
        WindowFixture f;
        f.window.show();
        // Qt's standard buttons and dialogs speak the window's language too.
        const auto cancel = [] {
            QDialogButtonBox box(QDialogButtonBox::Cancel);
            return box.button(QDialogButtonBox::Cancel)->text().remove(u'&');
        };
        const QMap<QString, QString> chineseTexts = shownTexts(f.window);
        QVERIFY(chineseTexts.size() > 300);
        f.control<QRadioButton>(u"Option2"_s)->click();
        QCOMPARE(f.window.language(), Language::English);
        const QMap<QString, QString> englishTexts = shownTexts(f.window);
        QCOMPARE(englishTexts.keys(), chineseTexts.keys());
        QStringList untranslated;
        for (auto it = englishTexts.cbegin(); it != englishTexts.cend(); ++it) {
            // The language's own name stays as it is written in that language.
            if (chinese(it.value()) && it.value() != u"中文")
                untranslated << it.key() + u": "_s + it.value().left(60);
        }
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(u'\n')));
        QCOMPARE(cancel(), u"Cancel"_s);

        f.control<QRadioButton>(u"Option1"_s)->click();
        const QMap<QString, QString> again = shownTexts(f.window);
        QStringList changed;
        for (auto it = again.cbegin(); it != again.cend(); ++it) {
            if (chineseTexts.value(it.key()) != it.value())
                changed << it.key() + u": "_s + it.value().left(60);
        }
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join(u'\n')));
        QCOMPARE(cancel(), u"取消"_s);
    }

    void sameBytesAndValues_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QByteArray>("reply"); // payload, framed for RTU; none: refused
        QTest::addColumn<QString>("shown"); // "Box=in Chinese|in English" once it came
        const char *const rows[][4] = {
                {"Command28", "", "013604000003E8", "Text17= 1000| 1000"}, // speed
                {"Command30", "", "013704FFFFFFFE", "Text18=-2|-2"}, // position
                {"Command29", "", "013B0401000000", "Label15=运动中|Moving"}, // motion state
                {"Command17", "Text12=2147483648", "", ""}}; // a value out of range
        for (const auto &[button, settings, reply, shown] : rows)
            QTest::newRow(button) << QString::fromLatin1(button) << QString::fromLatin1(settings)
                                  << QByteArray::fromHex(reply) << QString::fromUtf8(shown);
    }
    void sameBytesAndValues()
    {
        QFETCH(QString, button);
        QFETCH(QString, settings);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        const QString box = shown.section(u'=', 0, 0);
        const QStringList values = shown.section(u'=', 1).split(u'|');
        WindowFixture f;
        f.apply(settings);
        QVERIFY(f.open());
        QByteArray sent[2];
        for (int english : {0, 1}) {
            f.window.setLanguage(english ? Language::English : Language::Chinese);
            f.click(button);
            sent[english] = f.sent();
            if (reply.isEmpty()) {
                // A refusal: the message is in the window's language.
                QCOMPARE(f.messages.size(), english + 1);
                QCOMPARE(chinese(f.messages.last()), !english);
                continue;
            }
            QVERIFY(f.receive(frameRtu(reply)));
            // The newest block is on top: its description line is in the window's language.
            const QString newest = f.text("RichTextBox1").section(u'\n', 0, 2);
            QVERIFY2(chinese(newest) == !english, qPrintable(newest));
            QCOMPARE(f.text(box), values[english]);
        }
        QCOMPARE(sent[1], sent[0]);
        QCOMPARE(sent[0].isEmpty(), reply.isEmpty());
        // Back in Chinese, a state shown in words follows at once.
        f.window.setLanguage(Language::Chinese);
        if (!box.isEmpty())
            QCOMPARE(f.text(box), values[0]);
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
