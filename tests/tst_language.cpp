// The window's two languages: every text the user sees switches at once, and
// back; what goes over the wire, the values shown and the files written are the
// same in both.

#include "device/frame.h"
#include "window_fixture.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QChartView>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
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
        if (auto *widget = qobject_cast<QWidget *>(object)) {
            add(u"tooltip"_s, widget->toolTip());
            add(u"title"_s, widget->windowTitle());
        }
        if (auto *label = qobject_cast<QLabel *>(object))
            add(u"text"_s, label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(object))
            add(u"text"_s, button->text());
        if (auto *group = qobject_cast<QGroupBox *>(object))
            add(u"group"_s, group->title());
        if (auto *edit = qobject_cast<QLineEdit *>(object))
            add(u"placeholder"_s, edit->placeholderText());
        if (auto *spin = qobject_cast<QSpinBox *>(object))
            add(u"suffix"_s, spin->prefix() + spin->suffix() + spin->specialValueText());
        if (auto *bar = qobject_cast<QProgressBar *>(object))
            add(u"format"_s, bar->format());
        if (auto *browser = qobject_cast<QTextBrowser *>(object))
            add(u"page"_s, browser->toPlainText());
        if (auto *menu = qobject_cast<QMenu *>(object)) {
            add(u"menu"_s, menu->title());
            for (const QAction *action : menu->actions())
                add(u"action "_s + action->objectName(), action->text());
        }
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

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

        f.control<QRadioButton>(u"Option1"_s)->click();
        const QMap<QString, QString> again = shownTexts(f.window);
        QStringList changed;
        for (auto it = again.cbegin(); it != again.cend(); ++it) {
            if (chineseTexts.value(it.key()) != it.value())
                changed << it.key() + u": "_s + it.value().left(60);
        }
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join(u'\n')));
    }

    void sameBytesAndValues_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QByteArray>("reply"); // payload, framed for the mode; none: refused
        QTest::addColumn<QString>("box"); // where the reply's value shows
        QTest::addColumn<QString>("value");
        for (int mode : {0, 1}) {
            const char *name = mode ? "ascii" : "rtu";
            QTest::addRow("%s speed query", name)
                    << mode << u"Command28"_s << QString() << QByteArray::fromHex("013604000003E8")
                    << u"Text17"_s << u" 1000"_s;
            QTest::addRow("%s position query", name)
                    << mode << u"Command30"_s << QString() << QByteArray::fromHex("013704FFFFFFFE")
                    << u"Text18"_s << u"-2"_s;
            QTest::addRow("%s motion state", name)
                    << mode << u"Command29"_s << QString() << QByteArray::fromHex("013B0401000000")
                    << u"Label15"_s << QString();
            QTest::addRow("%s refused value", name)
                    << mode << u"Command17"_s << u"Text12=2147483648"_s << QByteArray()
                    << QString() << QString();
        }
    }
    void sameBytesAndValues()
    {
        QFETCH(int, mode);
        QFETCH(QString, button);
        QFETCH(QString, settings);
        QFETCH(QByteArray, reply);
        QFETCH(QString, box);
        QFETCH(QString, value);
        WindowFixture f;
        f.mode(mode);
        f.apply(settings);
        QVERIFY(f.open());
        QByteArray sent[2];
        QString shown[2];
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
            QVERIFY(f.receive(frameRequest(reply, mode ? CommMode::Ascii : CommMode::Rtu)));
            // The newest block is on top: its description line is in the window's language.
            const QString newest = f.text("RichTextBox1").section(u'\n', 0, 2);
            QVERIFY2(chinese(newest) == !english, qPrintable(newest));
            shown[english] = f.text(box);
            if (!value.isEmpty())
                QCOMPARE(shown[english], value);
        }
        QCOMPARE(sent[1], sent[0]);
        QCOMPARE(sent[0].isEmpty(), reply.isEmpty());
        if (box == u"Label15")
            QCOMPARE(shown[1], u"Moving"_s); // the state, in the window's language
        f.window.setLanguage(Language::Chinese);
        if (box == u"Label15")
            QCOMPARE(f.text(box), u"运动中"_s);
    }

    void listFileSameInBothLanguages()
    {
        QTemporaryDir dir;
        WindowFixture f;
        f.apply(u"Text20=250;Text21=2;Text12=1200"_s);
        f.click(u"Command34"_s); // Delay:250
        f.click(u"Command35"_s); // GoIdx:2
        f.click(u"Command35"_s);
        QCOMPARE(f.listLines().size(), 3);
        for (int english : {0, 1}) {
            f.window.setLanguage(english ? Language::English : Language::Chinese);
            f.dialogs->fileNames << dir.filePath(u"list%1.txt"_s.arg(english));
            f.click(u"Command55"_s);
        }
        f.window.setLanguage(Language::Chinese);
        const QByteArray written = fileBytes(dir.filePath(u"list0.txt"_s));
        QCOMPARE(written, "Delay:250\r\nGoIdx:2\r\nGoIdx:2\r\n");
        QCOMPARE(fileBytes(dir.filePath(u"list1.txt"_s)), written);
    }

    void qtsOwnTextsFollow()
    {
        // Qt's standard buttons and dialogs speak the window's language too.
        WindowFixture f;
        for (const auto &[language, cancel] :
             {std::pair(Language::Chinese, u"取消"_s), std::pair(Language::English, u"Cancel"_s)}) {
            f.window.setLanguage(language);
            QDialogButtonBox box(QDialogButtonBox::Cancel);
            QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(u'&'), cancel);
        }
        f.window.setLanguage(Language::Chinese);
    }

    void portFailureInTheWindowsLanguage()
    {
        WindowFixture f;
        f.window.setLanguage(Language::English);
        f.control<QComboBox>(u"Combo1"_s)->setCurrentText(u"COM5"_s);
        QVERIFY(!f.open());
        f.window.setLanguage(Language::Chinese);
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(!chinese(f.messages[0]) && f.messages[0].contains(u"COM5"),
                 qPrintable(f.messages[0]));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
