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

#include <memory>

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

QTabWidget *tabsOf(const FrmMain &window)
{
    return window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
}

QWidget *toolTab(const FrmMain &window)
{
    QTabWidget *tabs = tabsOf(window);
    return tabs ? tabs->widget(2) : nullptr;
}

// A control of the tool tab as the window shows it at start. A null text: the
// control shows none; an empty frame: it stands outside the frames.
struct Control
{
    QString name;
    QByteArray className;
    QString text, toolTip;
    bool enabled;
    QString frame;
};

// Every control of the tool tab; controls that look alike share a line.
QList<Control> describedControls()
{
    QList<Control> controls;
    const char *frame = "";
    const auto add = [&](std::initializer_list<const char *> names, const char *cls,
                         const char *text, const char *tip = "", bool enabled = true) {
        for (const char *name : names) {
            controls.append({utf8(name), QByteArray(cls), text ? utf8(text) : QString(), utf8(tip),
                             enabled, utf8(frame)});
        }
    };
    const auto label = [&](const char *name, const char *text) {
        add({name}, "QLabel", text);
    };
    const auto box = [&](std::initializer_list<const char *> names, const char *text) {
        add(names, "QLineEdit", text);
    };
    const auto combo = [&](std::initializer_list<const char *> names, const char *text) {
        add(names, "QComboBox", text);
    };
    const auto button = [&](std::initializer_list<const char *> names, const char *caption,
                            const char *tip = "") {
        add(names, "QPushButton", caption, tip);
    };
    const char *addToList = "加入高级命令";
    const char *addIo = "添加IO取代命令";

    // Outside the frames: mode, address, language, manual panel, traffic views.
    label("Label18", "选择通讯模式:");
    combo({"Combo7"}, "Modbus RTU");
    label("Label40", "设备操作地址(Hex)：");
    box({"Text23"}, "1");
    label("Label31", "语言选择(Select Language):");
    add({"Option1"}, "QRadioButton", "中文");
    add({"Option2"}, "QRadioButton", "English");
    label("Label17", "Version for 3.x");
    label("Label3", "输入16进制：");
    box({"Text1", "Text2", "Text3", "Text4", "Text5"}, "");
    button({"Command1"}, "发送16进制数据");
    label("Label5", "CRC校验：");
    button({"Command8"}, "CRC低位在前");
    button({"Command2"}, "CRC高位在前");
    button({"Command3"}, "CRC添加发送");
    label("Label6", "LRC校验：");
    button({"Command9"}, "计算LRC");
    button({"Command4"}, "LRC添加发送");
    button({"Command10"}, "MODBUS发送ASC");
    button({"Command11"}, "MODBUS发送RTU");
    label("Label4", "输入字符串：");
    button({"Command37"}, "发送字符串");
    button({"Command5"}, "转为16进制");
    button({"Command56"}, "转为字符串");
    button({"Command77", "Command78", "Command79", "Command80"}, ">", "添加高级命令");
    label("Label1", "接收内容：");
    label("Label2", "发送内容：");
    add({"RichTextBox1", "RichTextBox2"}, "TrafficView", "");
    label("Label45", "0");
    label("Label44", "0");
    button({"Command36", "Command6"}, "清空内容");
    add({"Picture1"}, "QLabel", nullptr);
    add({"Frame4"}, "QGroupBox", "串口设置");
    add({"Frame1"}, "QGroupBox", "基本命令");
    add({"Frame2"}, "QGroupBox", "参数设置与查询");
    add({"Frame3"}, "QGroupBox", "运动控制");
    add({"Frame5"}, "QGroupBox", "其他");
    add({"Frame6"}, "QGroupBox", "高级自动控制功能(HEX格式)");

    frame = "Frame4";
    label("Label8", "串口号：");
    combo({"Combo1"}, "COM1");
    label("Label9", "波特率：");
    combo({"Combo2"}, "9600");
    label("Label10", "起始位为1，终止位为1");
    label("Label11", "无奇偶校验，无硬件控制");
    button({"Command32"}, "打开");
    add({"Command33"}, "QPushButton", "关闭", "", false);

    frame = "Frame1";
    button({"Command12"}, "握手");
    button({"Command13"}, "查地址");
    button({"Command14"}, "改地址");
    label("Label12", "New Addr:");
    box({"Text7"}, "");
    button({"Command15"}, "查波特率");
    button({"Command16"}, "改波特率");
    label("Label13", "Bitrate:");
    combo({"Combo6"}, "9600");

    frame = "Frame2";
    button({"Command17"}, "初速度");
    button({"Command24"}, "最大速度");
    button({"Command25"}, "末速度");
    button({"Command26"}, "加速度");
    button({"Command27"}, "减速度");
    button({"Command64"}, "归零速度");
    box({"Text12"}, "100");
    box({"Text13", "Text15", "Text16", "Text29"}, "10000");
    box({"Text14"}, "1000");
    button({"Command57", "Command58", "Command59", "Command60", "Command61", "Command62"}, "?",
           "查询设定值");
    box({"Text27", "Text26", "Text25", "Text24", "Text6", "Text28", "Text17", "Text18", "Text19"},
        "0");
    button({"Command28"}, "运动速度");
    button({"Command29"}, "运动状态");
    button({"Command30"}, "绝对位置");
    button({"Command31"}, "相对位置");
    button({"Command66", "Command67"}, "0", "清零");
    add({"Shape1", "Shape2", "Shape3", "Shape4"}, "ShapeIndicator", nullptr);
    label("Label15", "停止");
    label("Label41", "左限");
    label("Label43", "零点");
    label("Label42", "右限");
    label("Label7", "新设值");
    label("Label14", "查询值");
    label("Label16", "运动相关查询");
    // Command43 leads to the motion-status query, which stands in this frame.
    button({"Command43", "Command46", "Command47", "Command48", "Command49", "Command50",
            "Command51", "Command52", "Command53", "Command63", "Command69", "Command70",
            "Command71", "Command72", "Command73", "Command74", "Command75", "Command76"},
           ">", addToList);

    frame = "Frame3";
    button({"Command18", "Command19", "Command20", "Command21"}, "运动");
    button({"Command22"}, "减速停止");
    button({"Command23"}, "立即停止");
    button({"Command7"}, "归零");
    button({"Command65"}, "执行");
    box({"Text8", "Text10", "Text11", "Text30"}, "10000");
    box({"Text9"}, "1000");
    combo({"Combo3", "Combo4", "Combo5"}, "0");
    label("Label19", "位置运动:");
    label("Label20", "正/负方向脉冲数:");
    label("Label21", "方向:");
    label("Label22", "脉冲数:");
    label("Label23", "恒速运动:");
    label("Label24", "正/负方向速度:");
    label("Label25", "方向:");
    label("Label26", "速度:");
    label("Label36", "查找零点:");
    label("Label37", "方向:");
    label("Label27", "运动中改变速度:   新速度");
    label("Label28", "PLUS/S");
    add({"Line1", "Line2", "Line4"}, "QFrame", nullptr);
    label("Label61", "IO控制:");
    box({"Text31"}, "");
    label("Label62", "＝命令");
    combo({"Combo8"}, "00001");
    label("Label64", "IN序号  54321");
    button({"Command81"}, "下载");
    button({"Command88"}, "?");
    button({"Command82", "Command83", "Command84", "Command85", "Command86", "Command87",
            "Command89", "Command90"},
           "↓", addIo);
    button({"Command38", "Command39", "Command40", "Command41", "Command42", "Command44",
            "Command45", "Command68"},
           ">", addToList);

    frame = "Frame5";
    button({"Command91"}, "运动因子");
    box({"Text32"}, "500");
    button({"Command92"}, "加速度");
    button({"Command93"}, "减速度");
    button({"Command94"}, "查询IN");
    button({"Command96"}, "出厂设置");
    add({"Shape5", "Shape6", "Shape7", "Shape8", "Shape9"}, "ShapeIndicator", nullptr);
    label("Label63", "IN1  IN2   IN3  IN4  IN5");
    button({"Command97", "Command98"}, "↓", addIo);

    frame = "Frame6";
    add({"List1"}, "QListWidget", nullptr);
    add({"Check1"}, "QCheckBox", "按行循环执行命令");
    box({"Text22", "Text20"}, "1000");
    box({"Text21"}, "0");
    button({"Command34", "Command35"}, "插入命令");
    button({"Command54"}, "打开文件");
    button({"Command55"}, "命令另存为");
    label("Label32", "延时:");
    label("Label33", "毫秒50-60000");
    label("Label34", "跳转:");
    label("Label35", "行");
    label("Label29", "无延时命令，默认间隔为1秒");
    label("Label59", "隔");
    label("Label60", "MS");
    return controls;
}

// The widgets of the tool tab that carry a control name (Command12, Text23,
// Frame4 ...), leaving out containers and Qt's own inner widgets.
QList<QWidget *> namedControls(const FrmMain &window)
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
    void initTestCase() { m_window = std::make_unique<FrmMain>(); }
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

private:
    // The window as it opens, for the tests that only read it.
    std::unique_ptr<FrmMain> m_window;
};

void TestWindowStart::titleAndTabs()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Form1"));
    QTabWidget *tabs = tabsOf(*m_window);
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

    const auto rows = [](std::initializer_list<const char *> names, int tab) {
        for (const char *name : names)
            QTest::newRow(name) << utf8(name) << tab;
    };
    rows({"WebBrowser1", "Label51", "Label52", "Label53", "Label54", "Label55", "Label56",
          "Label57", "Label58"},
         0);
    rows({"WebBrowser2", "Label30", "Label38", "Label39", "Label46", "Label47", "Label48",
          "Label49", "Label50"},
         1);
    rows({"RichTextBox4"}, 3);
    rows({"RichTextBox3"}, 4);
}

void TestWindowStart::tabPages()
{
    QFETCH(QString, name);
    QFETCH(int, tab);

    QWidget *w = m_window->findChild<QWidget *>(name);
    QVERIFY2(w, "missing");
    QVERIFY(tabsOf(*m_window)->widget(tab)->isAncestorOf(w));
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

    const QList<QWidget *> found = m_window->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *w = found.first();
    QVERIFY2(w->inherits(className.constData()), w->metaObject()->className());
    QVERIFY(toolTab(*m_window)->isAncestorOf(w));

    if (frame.isEmpty()) {
        for (QWidget *p = w->parentWidget(); p; p = p->parentWidget())
            QVERIFY2(!p->objectName().startsWith(QStringLiteral("Frame")),
                     qPrintable(p->objectName()));
    } else {
        auto *holder = m_window->findChild<QGroupBox *>(frame);
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
    QSet<QString> described;
    for (const Control &c : describedControls())
        described.insert(c.name);
    QSet<QString> present;
    for (QWidget *w : namedControls(*m_window))
        present.insert(w->objectName());
    const QStringList extra = QSet<QString>(present).subtract(described).values();
    QVERIFY2(extra.isEmpty(), qPrintable(extra.join(u' ')));
    QCOMPARE(present.size(), described.size()); // the table names each control once
}

void TestWindowStart::selectorLists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items"); // the current item is checked with the controls

    QStringList ports;
    for (int i = 1; i <= 9; ++i)
        ports << QStringLiteral("COM%1").arg(i);
    // The input combinations 1 to 31 as five binary digits, IN5 first.
    QStringList combinations;
    for (int code = 1; code <= 31; ++code)
        combinations << QStringLiteral("%1").arg(code, 5, 2, QLatin1Char('0'));

    QTest::newRow("Combo1") << "Combo1" << ports;
    QTest::newRow("Combo2") << "Combo2" << QStringList{"300",   "600",    "1200",  "2400",  "4800",
                                                       "9600",  "14400",  "19200", "38400", "56000",
                                                       "57600", "115200", "128000"};
    for (const char *direction : {"Combo3", "Combo4", "Combo5"})
        QTest::newRow(direction) << direction << QStringList{"0", "1"};
    QTest::newRow("Combo6") << "Combo6" << QStringList{"2400",  "4800",  "9600", "14400",
                                                       "19200", "38400", "57600"};
    QTest::newRow("Combo7") << "Combo7" << QStringList{"Modbus RTU", "Modbus ASC"};
    QTest::newRow("Combo8") << "Combo8" << combinations;
}

void TestWindowStart::selectorLists()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);

    auto *selector = m_window->findChild<QComboBox *>(name);
    QVERIFY(selector);
    QStringList shown;
    for (int i = 0; i < selector->count(); ++i)
        shown << selector->itemText(i);
    QCOMPARE(shown, items);
}

void TestWindowStart::emptyCommandList()
{
    auto *list = m_window->findChild<QListWidget *>(QStringLiteral("List1"));
    QVERIFY(list);
    QCOMPARE(list->count(), 0);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
}

void TestWindowStart::addButtonsBesideTheirTargets_data()
{
    QTest::addColumn<QString>("add");
    QTest::addColumn<QString>("target");

    // Add to the command list (Command38 to Command80), then add as IO
    // replacement command (Command82 to Command98): add button, its target.
    const char *pairs[][2] = {
            {"Command38", "Command18"}, {"Command39", "Command19"}, {"Command40", "Command20"},
            {"Command41", "Command21"}, {"Command42", "Command7"},  {"Command43", "Command29"},
            {"Command44", "Command22"}, {"Command45", "Command23"}, {"Command46", "Command17"},
            {"Command47", "Command24"}, {"Command48", "Command25"}, {"Command49", "Command26"},
            {"Command50", "Command27"}, {"Command51", "Command28"}, {"Command52", "Command30"},
            {"Command53", "Command31"}, {"Command63", "Command64"}, {"Command68", "Command65"},
            {"Command69", "Command66"}, {"Command70", "Command67"}, {"Command71", "Command57"},
            {"Command72", "Command58"}, {"Command73", "Command59"}, {"Command74", "Command60"},
            {"Command75", "Command61"}, {"Command76", "Command62"}, {"Command77", "Command10"},
            {"Command78", "Command37"}, {"Command79", "Command1"},  {"Command80", "Command11"},
            {"Command82", "Command18"}, {"Command83", "Command19"}, {"Command84", "Command20"},
            {"Command85", "Command21"}, {"Command86", "Command7"},  {"Command87", "Command65"},
            {"Command89", "Command22"}, {"Command90", "Command23"}, {"Command97", "Command92"},
            {"Command98", "Command93"}};
    for (const auto &[add, target] : pairs)
        QTest::newRow(add) << utf8(add) << utf8(target);
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
