// The window as it opens: every control of the tool tab with its caption, hint,
// enabled state and frame; the selector lists; the tabs; and a layout that fits a
// 1366x768 screen with every control readable and none on top of another.

#include "frm_main.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

namespace {

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

// What a control shows: a button's or label's caption, a box's or selector's
// text, a frame's title, a view's text.
QString shownText(const QWidget *w)
{
    if (auto *button = qobject_cast<const QAbstractButton *>(w))
        return button->text();
    if (auto *box = qobject_cast<const QLineEdit *>(w))
        return box->text();
    if (auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (auto *selector = qobject_cast<const QComboBox *>(w))
        return selector->currentText();
    if (auto *frame = qobject_cast<const QGroupBox *>(w))
        return frame->title();
    if (auto *view = qobject_cast<const QPlainTextEdit *>(w))
        return view->toPlainText();
    return {};
}

QTabWidget *tabsOf(FrmMain &window)
{
    return window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
}

QWidget *toolTab(FrmMain &window)
{
    QTabWidget *tabs = tabsOf(window);
    return tabs ? tabs->widget(2) : nullptr;
}

// A control of the tool tab as the window shows it at start.
struct Control
{
    QString name;
    QByteArray className;
    QString text; // null: the control shows no text
    QString toolTip;
    bool enabled = true;
    QString frame; // the frame that holds it, empty for none
};

// Every control of the tool tab.
QList<Control> describedControls()
{
    QList<Control> controls;
    const char *frame = "";
    auto row = [&controls, &frame](const char *name, const char *cls, const char *text,
                                   const char *tip = "", bool enabled = true) {
        controls.append({utf8(name), QByteArray(cls), text ? utf8(text) : QString(), utf8(tip),
                         enabled, utf8(frame)});
    };
    auto buttons = [&row](std::initializer_list<const char *> names, const char *caption,
                          const char *tip) {
        for (const char *name : names)
            row(name, "QPushButton", caption, tip);
    };
    const char *addToList = "加入高级命令";
    const char *addIo = "添加IO取代命令";

    // Outside the frames: mode, address, language, manual panel, traffic views.
    row("Label18", "QLabel", "选择通讯模式:");
    row("Combo7", "QComboBox", "Modbus RTU");
    row("Label40", "QLabel", "设备操作地址(Hex)：");
    row("Text23", "QLineEdit", "1");
    row("Label31", "QLabel", "语言选择(Select Language):");
    row("Option1", "QRadioButton", "中文");
    row("Option2", "QRadioButton", "English");
    row("Label17", "QLabel", "Version for 3.x");
    row("Label3", "QLabel", "输入16进制：");
    row("Text1", "QLineEdit", "");
    row("Command1", "QPushButton", "发送16进制数据");
    row("Label5", "QLabel", "CRC校验：");
    row("Text2", "QLineEdit", "");
    row("Text3", "QLineEdit", "");
    row("Command8", "QPushButton", "CRC低位在前");
    row("Command2", "QPushButton", "CRC高位在前");
    row("Command3", "QPushButton", "CRC添加发送");
    row("Label6", "QLabel", "LRC校验：");
    row("Text4", "QLineEdit", "");
    row("Command9", "QPushButton", "计算LRC");
    row("Command4", "QPushButton", "LRC添加发送");
    row("Command10", "QPushButton", "MODBUS发送ASC");
    row("Command11", "QPushButton", "MODBUS发送RTU");
    row("Label4", "QLabel", "输入字符串：");
    row("Text5", "QLineEdit", "");
    row("Command37", "QPushButton", "发送字符串");
    row("Command5", "QPushButton", "转为16进制");
    row("Command56", "QPushButton", "转为字符串");
    buttons({"Command77", "Command78", "Command79", "Command80"}, ">", "添加高级命令");
    row("Label1", "QLabel", "接收内容：");
    row("RichTextBox1", "TrafficView", "");
    row("Label45", "QLabel", "0");
    row("Command36", "QPushButton", "清空内容");
    row("Label2", "QLabel", "发送内容：");
    row("RichTextBox2", "TrafficView", "");
    row("Label44", "QLabel", "0");
    row("Command6", "QPushButton", "清空内容");
    row("Picture1", "QLabel", nullptr);
    row("Frame4", "QGroupBox", "串口设置");
    row("Frame1", "QGroupBox", "基本命令");
    row("Frame2", "QGroupBox", "参数设置与查询");
    row("Frame3", "QGroupBox", "运动控制");
    row("Frame5", "QGroupBox", "其他");
    row("Frame6", "QGroupBox", "高级自动控制功能(HEX格式)");

    frame = "Frame4";
    row("Label8", "QLabel", "串口号：");
    row("Combo1", "QComboBox", "COM1");
    row("Label9", "QLabel", "波特率：");
    row("Combo2", "QComboBox", "9600");
    row("Label10", "QLabel", "起始位为1，终止位为1");
    row("Label11", "QLabel", "无奇偶校验，无硬件控制");
    row("Command32", "QPushButton", "打开");
    row("Command33", "QPushButton", "关闭", "", false);

    frame = "Frame1";
    row("Command12", "QPushButton", "握手");
    row("Command13", "QPushButton", "查地址");
    row("Command14", "QPushButton", "改地址");
    row("Label12", "QLabel", "New Addr:");
    row("Text7", "QLineEdit", "");
    row("Command15", "QPushButton", "查波特率");
    row("Command16", "QPushButton", "改波特率");
    row("Label13", "QLabel", "Bitrate:");
    row("Combo6", "QComboBox", "9600");

    frame = "Frame2";
    row("Command17", "QPushButton", "初速度");
    row("Command24", "QPushButton", "最大速度");
    row("Command25", "QPushButton", "末速度");
    row("Command26", "QPushButton", "加速度");
    row("Command27", "QPushButton", "减速度");
    row("Command64", "QPushButton", "归零速度");
    row("Text12", "QLineEdit", "100");
    row("Text13", "QLineEdit", "10000");
    row("Text14", "QLineEdit", "1000");
    row("Text15", "QLineEdit", "10000");
    row("Text16", "QLineEdit", "10000");
    row("Text29", "QLineEdit", "10000");
    buttons({"Command57", "Command58", "Command59", "Command60", "Command61", "Command62"}, "?",
            "查询设定值");
    for (const char *answer :
         {"Text27", "Text26", "Text25", "Text24", "Text6", "Text28", "Text17", "Text18", "Text19"})
        row(answer, "QLineEdit", "0");
    row("Command28", "QPushButton", "运动速度");
    row("Command29", "QPushButton", "运动状态");
    row("Command30", "QPushButton", "绝对位置");
    row("Command31", "QPushButton", "相对位置");
    buttons({"Command66", "Command67"}, "0", "清零");
    for (const char *shape : {"Shape1", "Shape2", "Shape3", "Shape4"})
        row(shape, "ShapeIndicator", nullptr);
    row("Label15", "QLabel", "停止");
    row("Label41", "QLabel", "左限");
    row("Label43", "QLabel", "零点");
    row("Label42", "QLabel", "右限");
    row("Label7", "QLabel", "新设值");
    row("Label14", "QLabel", "查询值");
    row("Label16", "QLabel", "运动相关查询");
    // Command43 leads to the motion-status query, which stands in this frame.
    buttons({"Command43", "Command46", "Command47", "Command48", "Command49", "Command50",
             "Command51", "Command52", "Command53", "Command63", "Command69", "Command70",
             "Command71", "Command72", "Command73", "Command74", "Command75", "Command76"},
            ">", addToList);

    frame = "Frame3";
    buttons({"Command18", "Command19", "Command20", "Command21"}, "运动", "");
    row("Command22", "QPushButton", "减速停止");
    row("Command23", "QPushButton", "立即停止");
    row("Command7", "QPushButton", "归零");
    row("Command65", "QPushButton", "执行");
    row("Text8", "QLineEdit", "10000");
    row("Text9", "QLineEdit", "1000");
    row("Text10", "QLineEdit", "10000");
    row("Text11", "QLineEdit", "10000");
    row("Text30", "QLineEdit", "10000");
    for (const char *direction : {"Combo3", "Combo4", "Combo5"})
        row(direction, "QComboBox", "0");
    row("Label19", "QLabel", "位置运动:");
    row("Label20", "QLabel", "正/负方向脉冲数:");
    row("Label21", "QLabel", "方向:");
    row("Label22", "QLabel", "脉冲数:");
    row("Label23", "QLabel", "恒速运动:");
    row("Label24", "QLabel", "正/负方向速度:");
    row("Label25", "QLabel", "方向:");
    row("Label26", "QLabel", "速度:");
    row("Label36", "QLabel", "查找零点:");
    row("Label37", "QLabel", "方向:");
    row("Label27", "QLabel", "运动中改变速度:   新速度");
    row("Label28", "QLabel", "PLUS/S");
    for (const char *line : {"Line1", "Line2", "Line4"})
        row(line, "QFrame", nullptr);
    row("Label61", "QLabel", "IO控制:");
    row("Text31", "QLineEdit", "");
    row("Label62", "QLabel", "＝命令");
    row("Combo8", "QComboBox", "00001");
    row("Label64", "QLabel", "IN序号  54321");
    row("Command81", "QPushButton", "下载");
    row("Command88", "QPushButton", "?");
    buttons({"Command82", "Command83", "Command84", "Command85", "Command86", "Command87",
             "Command89", "Command90"},
            "↓", addIo);
    buttons({"Command38", "Command39", "Command40", "Command41", "Command42", "Command44",
             "Command45", "Command68"},
            ">", addToList);

    frame = "Frame5";
    row("Command91", "QPushButton", "运动因子");
    row("Text32", "QLineEdit", "500");
    row("Command92", "QPushButton", "加速度");
    row("Command93", "QPushButton", "减速度");
    row("Command94", "QPushButton", "查询IN");
    row("Command96", "QPushButton", "出厂设置");
    for (const char *shape : {"Shape5", "Shape6", "Shape7", "Shape8", "Shape9"})
        row(shape, "ShapeIndicator", nullptr);
    row("Label63", "QLabel", "IN1  IN2   IN3  IN4  IN5");
    buttons({"Command97", "Command98"}, "↓", addIo);

    frame = "Frame6";
    row("List1", "QListWidget", nullptr);
    row("Check1", "QCheckBox", "按行循环执行命令");
    row("Text22", "QLineEdit", "1000");
    row("Text20", "QLineEdit", "1000");
    row("Text21", "QLineEdit", "0");
    buttons({"Command34", "Command35"}, "插入命令", "");
    row("Command54", "QPushButton", "打开文件");
    row("Command55", "QPushButton", "命令另存为");
    row("Label32", "QLabel", "延时:");
    row("Label33", "QLabel", "毫秒50-60000");
    row("Label34", "QLabel", "跳转:");
    row("Label35", "QLabel", "行");
    row("Label29", "QLabel", "无延时命令，默认间隔为1秒");
    row("Label59", "QLabel", "隔");
    row("Label60", "QLabel", "MS");
    return controls;
}

// The widgets of the tool tab that carry a control name (Command12, Text23,
// Frame4 ...), leaving out containers and Qt's own inner widgets.
QList<QWidget *> namedControls(FrmMain &window)
{
    static const QRegularExpression controlName(
            QStringLiteral("^(Command|Text|Combo|Label|Option|Check|List|Shape|Line|"
                           "Picture|RichTextBox|Frame)\\d+$"));
    QList<QWidget *> controls;
    for (QWidget *w : toolTab(window)->findChildren<QWidget *>()) {
        if (controlName.match(w->objectName()).hasMatch())
            controls << w;
    }
    return controls;
}

} // namespace

class TestWindowStart : public QObject
{
    Q_OBJECT

private slots:
    void titleAndTabs();
    void tabPages_data();
    void tabPages();
    void toolTabControls_data();
    void toolTabControls();
    void noControlBeyondTheDescribedOnes();
    void selectorLists_data();
    void selectorLists();
    void emptyCommandList();
    void addButtonsBesideTheirTargets_data();
    void addButtonsBesideTheirTargets();
    void layoutFitsAndStaysReadable_data();
    void layoutFitsAndStaysReadable();
};

void TestWindowStart::titleAndTabs()
{
    FrmMain window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Form1"));
    QTabWidget *tabs = tabsOf(window);
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 5);
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(tabs->tabText(3), utf8("高级功能帮助"));
    QCOMPARE(tabs->tabText(4), utf8("通讯协议"));
    for (int i = 0; i < tabs->count(); ++i)
        QVERIFY2(!tabs->tabText(i).isEmpty(), qPrintable(QString::number(i)));
}

void TestWindowStart::tabPages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tab");

    auto row = [](const char *name, int tab) {
        QTest::newRow(name) << utf8(name) << tab;
    };
    row("WebBrowser1", 0);
    for (const char *label :
         {"Label51", "Label52", "Label53", "Label54", "Label55", "Label56", "Label57", "Label58"})
        row(label, 0);
    row("WebBrowser2", 1);
    for (const char *label :
         {"Label30", "Label38", "Label39", "Label46", "Label47", "Label48", "Label49", "Label50"})
        row(label, 1);
    row("RichTextBox4", 3);
    row("RichTextBox3", 4);
}

void TestWindowStart::tabPages()
{
    QFETCH(QString, name);
    QFETCH(int, tab);

    FrmMain window;
    QWidget *w = window.findChild<QWidget *>(name);
    QVERIFY2(w, "missing");
    QVERIFY(tabsOf(window)->widget(tab)->isAncestorOf(w));
    if (auto *label = qobject_cast<QLabel *>(w))
        QVERIFY(!label->text().isEmpty()); // a product line, not a blank
    else if (auto *browser = qobject_cast<QTextBrowser *>(w))
        QVERIFY2(!browser->openExternalLinks(), "a click on a link must not leave the window");
    else
        QFAIL("neither a product label nor a browser panel");
}

void TestWindowStart::toolTabControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("frame");
    for (const Control &c : describedControls()) {
        QTest::newRow(qPrintable(c.name))
                << c.name << c.className << c.text << c.toolTip << c.enabled << c.frame;
    }
}

void TestWindowStart::toolTabControls()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, className);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(bool, enabled);
    QFETCH(QString, frame);

    FrmMain window;
    const QList<QWidget *> found = window.findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *w = found.first();
    QVERIFY2(w->inherits(className.constData()), w->metaObject()->className());
    QVERIFY(toolTab(window)->isAncestorOf(w));

    if (frame.isEmpty()) {
        for (QWidget *p = w->parentWidget(); p; p = p->parentWidget())
            QVERIFY2(!p->objectName().startsWith(QStringLiteral("Frame")),
                     qPrintable(p->objectName()));
    } else {
        auto *holder = window.findChild<QGroupBox *>(frame);
        QVERIFY(holder);
        QVERIFY2(holder->isAncestorOf(w), "not inside its frame");
    }

    if (!text.isNull())
        QCOMPARE(shownText(w), text);
    QCOMPARE(w->toolTip(), toolTip);
    QCOMPARE(w->isEnabled(), enabled);

    // A box is typed into; a selector is picked from or typed into.
    if (auto *box = qobject_cast<QLineEdit *>(w))
        QVERIFY(!box->isReadOnly());
    if (auto *selector = qobject_cast<QComboBox *>(w))
        QVERIFY(selector->isEditable());
    if (auto *line = qobject_cast<QFrame *>(w); line && className == "QFrame")
        QVERIFY(line->frameShape() == QFrame::HLine || line->frameShape() == QFrame::VLine);
}

void TestWindowStart::noControlBeyondTheDescribedOnes()
{
    FrmMain window;
    QSet<QString> described;
    for (const Control &c : describedControls())
        described.insert(c.name);
    QSet<QString> present;
    for (QWidget *w : namedControls(window))
        present.insert(w->objectName());
    const QStringList extra = QSet<QString>(present).subtract(described).values();
    QVERIFY2(extra.isEmpty(), qPrintable(extra.join(u' ')));
    QCOMPARE(present.size(), described.size()); // the table names each control once
}

void TestWindowStart::selectorLists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("current");

    auto row = [](const char *name, const QStringList &items, const char *current) {
        QTest::newRow(name) << utf8(name) << items << utf8(current);
    };
    QStringList ports;
    for (int i = 1; i <= 9; ++i)
        ports << QStringLiteral("COM%1").arg(i);
    // The input combinations 1 to 31 as five binary digits, IN5 first.
    QStringList combinations;
    for (int code = 1; code <= 31; ++code)
        combinations << QStringLiteral("%1").arg(code, 5, 2, QLatin1Char('0'));
    const QStringList directions{QStringLiteral("0"), QStringLiteral("1")};

    row("Combo1", ports, "COM1");
    row("Combo2",
        QStringList{"300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
                    "56000", "57600", "115200", "128000"},
        "9600");
    row("Combo3", directions, "0");
    row("Combo4", directions, "0");
    row("Combo5", directions, "0");
    row("Combo6", QStringList{"2400", "4800", "9600", "14400", "19200", "38400", "57600"}, "9600");
    row("Combo7", QStringList{"Modbus RTU", "Modbus ASC"}, "Modbus RTU");
    row("Combo8", combinations, "00001");
}

void TestWindowStart::selectorLists()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(QString, current);

    FrmMain window;
    auto *selector = window.findChild<QComboBox *>(name);
    QVERIFY(selector);
    QStringList shown;
    for (int i = 0; i < selector->count(); ++i)
        shown << selector->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(selector->currentText(), current);
    QVERIFY(selector->isEditable());
}

void TestWindowStart::emptyCommandList()
{
    FrmMain window;
    auto *list = window.findChild<QListWidget *>(QStringLiteral("List1"));
    QVERIFY(list);
    QCOMPARE(list->count(), 0);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
}

void TestWindowStart::addButtonsBesideTheirTargets_data()
{
    QTest::addColumn<QString>("add");
    QTest::addColumn<QString>("target");

    auto row = [](const char *add, const char *target) {
        QTest::newRow(add) << utf8(add) << utf8(target);
    };
    // Add to the command list.
    row("Command38", "Command18");
    row("Command39", "Command19");
    row("Command40", "Command20");
    row("Command41", "Command21");
    row("Command42", "Command7");
    row("Command43", "Command29");
    row("Command44", "Command22");
    row("Command45", "Command23");
    row("Command46", "Command17");
    row("Command47", "Command24");
    row("Command48", "Command25");
    row("Command49", "Command26");
    row("Command50", "Command27");
    row("Command51", "Command28");
    row("Command52", "Command30");
    row("Command53", "Command31");
    row("Command63", "Command64");
    row("Command68", "Command65");
    row("Command69", "Command66");
    row("Command70", "Command67");
    row("Command71", "Command57");
    row("Command72", "Command58");
    row("Command73", "Command59");
    row("Command74", "Command60");
    row("Command75", "Command61");
    row("Command76", "Command62");
    row("Command77", "Command10");
    row("Command78", "Command37");
    row("Command79", "Command1");
    row("Command80", "Command11");
    // Add as IO replacement command.
    row("Command82", "Command18");
    row("Command83", "Command19");
    row("Command84", "Command20");
    row("Command85", "Command21");
    row("Command86", "Command7");
    row("Command87", "Command65");
    row("Command89", "Command22");
    row("Command90", "Command23");
    row("Command97", "Command92");
    row("Command98", "Command93");
}

void TestWindowStart::addButtonsBesideTheirTargets()
{
    QFETCH(QString, add);
    QFETCH(QString, target);

    FrmMain window;
    window.resize(window.minimumSizeHint());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QWidget *tab = toolTab(window);
    auto *addButton = window.findChild<QPushButton *>(add);
    auto *targetButton = window.findChild<QPushButton *>(target);
    QVERIFY(addButton && targetButton);
    const QRect a(addButton->mapTo(tab, QPoint()), addButton->size());
    const QRect t(targetButton->mapTo(tab, QPoint()), targetButton->size());
    // On the same line, right after the button (at most one small button between).
    QVERIFY2(qAbs(a.center().y() - t.center().y()) <= 2, "not on the same line");
    const int gap = a.left() - t.right();
    QVERIFY2(gap > 0 && gap <= 48, qPrintable(QStringLiteral("gap %1").arg(gap)));
}

void TestWindowStart::layoutFitsAndStaysReadable_data()
{
    QTest::addColumn<QSize>("size"); // empty: the window's smallest size

    QTest::newRow("smallest window") << QSize();
    // A 1366x768 screen less a title bar and a panel.
    QTest::newRow("1366x768 screen") << QSize(1366, 704);
    QTest::newRow("large screen") << QSize(1920, 1040);
}

void TestWindowStart::layoutFitsAndStaysReadable()
{
    QFETCH(QSize, size);

    FrmMain window;
    const QSize smallest = window.minimumSizeHint();
    QVERIFY2(smallest.width() <= 1366 && smallest.height() <= 704,
             qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
    window.resize(size.isEmpty() ? smallest : size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QWidget *tab = toolTab(window);
    const QList<QWidget *> controls = namedControls(window);
    for (QWidget *w : controls) {
        const QString name = w->objectName();
        QVERIFY2(w->isVisible() && !w->size().isEmpty(), qPrintable(name));
        QVERIFY2(tab->rect().contains(QRect(w->mapTo(tab, QPoint()), w->size())),
                 qPrintable(name + QStringLiteral(" sticks out of the tab")));
        const QFontMetrics metrics(w->font());
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            QVERIFY2(button->width() >= metrics.horizontalAdvance(button->text()) + 6,
                     qPrintable(name + QStringLiteral(": caption cut off")));
        } else if (auto *label = qobject_cast<QLabel *>(w); label && !label->wordWrap()) {
            QVERIFY2(label->width() >= metrics.horizontalAdvance(label->text()),
                     qPrintable(name + QStringLiteral(": caption cut off")));
        }
    }

    // No control covers another, unless one holds the other (a frame and its members).
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const QRect a(controls[i]->mapTo(tab, QPoint()), controls[i]->size());
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            if (controls[i]->isAncestorOf(controls[j]) || controls[j]->isAncestorOf(controls[i]))
                continue;
            const QRect b(controls[j]->mapTo(tab, QPoint()), controls[j]->size());
            QVERIFY2(!a.intersects(b),
                     qPrintable(controls[i]->objectName() + QStringLiteral(" overlaps ")
                                + controls[j]->objectName()));
        }
    }
}

QTEST_MAIN(TestWindowStart)
#include "tst_window_start.moc"
