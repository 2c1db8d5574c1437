// The window as a person sees it at the scale factor CTest sets (1, 1.5 or 2), in both languages,
// under a light palette, a dark one and a light one turning dark while open: captions, cells,
// progress text and chart stand out from their background, lamps from the window, and no caption
// is cut off at the opening size. Each tab is saved as a picture for a person to look at.

#include "sim_fixture.h"
#include "status_line.h"
#include "test_util.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>
#include <future>
#include <vector>

namespace {

// The least contrast a person needs: text against its background, and a lamp or a line
// against what is around it.
constexpr double textContrast = 4.5;
constexpr double shapeContrast = 3;

// The dark palette of a desktop in dark mode; disabled texts are grey.
QPalette darkPalette()
{
    QPalette p;
    const std::pair<QPalette::ColorRole, QRgb> colours[] = {
            {QPalette::Window, 0x353535},     {QPalette::WindowText, 0xeeeeee},
            {QPalette::Base, 0x242424},       {QPalette::AlternateBase, 0x2e2e2e},
            {QPalette::Text, 0xeeeeee},       {QPalette::PlaceholderText, 0xa0a0a0},
            {QPalette::Button, 0x3c3c3c},     {QPalette::ButtonText, 0xeeeeee},
            {QPalette::BrightText, 0xff6060}, {QPalette::Light, 0x555555},
            {QPalette::Midlight, 0x484848},   {QPalette::Mid, 0x282828},
            {QPalette::Dark, 0x1e1e1e},       {QPalette::Shadow, 0x101010},
            {QPalette::Highlight, 0x2a82da},  {QPalette::HighlightedText, 0xffffff},
            {QPalette::Link, 0x6cb4ff},       {QPalette::LinkVisited, 0xc090ff},
            {QPalette::ToolTipBase, 0x202020}, {QPalette::ToolTipText, 0xeeeeee}};
    for (const auto &[role, colour] : colours)
        p.setColor(role, QColor(colour));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    return p;
}

/// Relative luminance, as WCAG defines it; worked out here on its own, so that a fault in
/// the window's own contrast rule shows instead of being agreed with.
double luminance(const QColor &colour)
{
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
            + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const auto [dark, light] = std::minmax({luminance(a), luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

QString describe(double ratio, const QColor &text, const QColor &background)
{
    return u"%1:1 (%2 on %3)"_s.arg(ratio, 0, 'f', 2).arg(text.name(), background.name());
}

// A picture of the whole window, and where a control's pixels are in it.
struct Shot
{
    explicit Shot(QWidget &shown)
        : window(shown)
        , image(shown.grab().toImage().convertToFormat(QImage::Format_RGB32))
        , scale(image.devicePixelRatio())
    { }

    /// The pixels of \a area (in \a widget's coordinates) that lie wholly inside it.
    QRect pixels(const QWidget *widget, const QRect &area) const
    {
        const QRect r
                = area.intersected(widget->rect()).translated(widget->mapTo(&window, QPoint()));
        const QPoint from(int(std::ceil(r.x() * scale)), int(std::ceil(r.y() * scale)));
        const QPoint to(int(std::floor((r.x() + r.width()) * scale)) - 1,
                        int(std::floor((r.y() + r.height()) * scale)) - 1);
        return QRect(from, to).intersected(image.rect());
    }

    /// What a person sees in \a area: the commonest colour is the background, and the
    /// colour that stands out most from it is the text.
    std::pair<QColor, QColor> textAndBackground(const QRect &area) const
    {
        QHash<QRgb, int> counts;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = area.left(); x <= area.right(); ++x)
                ++counts[line[x] | 0xff000000];
        }
        const QColor background(std::max_element(counts.cbegin(), counts.cend()).key());
        QColor text = background;
        for (const QRgb colour : counts.keys()) {
            if (contrast(QColor(colour), background) > contrast(text, background))
                text = QColor(colour);
        }
        return {text, background};
    }

    QWidget &window;
    QImage image;
    qreal scale;
};

QString nameOf(const QWidget *widget)
{
    // Inner parts (a view's viewport, a tab widget's bar) go by their owner's name.
    while (widget->parentWidget()
           && (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_")))
        widget = widget->parentWidget();
    return widget->objectName();
}

// Where a visible control shows text, in the coordinates of the widget that paints it:
// the room it has there and, for a caption on one line, the size the caption needs.
struct TextArea
{
    const QWidget *widget;
    QString what;
    QRect room;
    QSize needs; // empty: the text wraps or scrolls
};

QSize textSize(const QWidget *widget, const QString &text)
{
    return widget->fontMetrics().size(Qt::TextShowMnemonic, text);
}

QRect buttonContents(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QStyle::SubElement element = qobject_cast<const QCheckBox *>(button)
            ? QStyle::SE_CheckBoxContents
            : qobject_cast<const QRadioButton *>(button) ? QStyle::SE_RadioButtonContents
                                                         : QStyle::SE_PushButtonContents;
    return button->style()->subElementRect(element, &option, button);
}

/// The cells with text that an item view shows: some are tinted by the window.
void addCells(const QAbstractItemView *view, QList<TextArea> &areas)
{
    const QAbstractItemModel *model = view->model();
    for (int row = 0; model && row < model->rowCount(view->rootIndex()); ++row) {
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            const QModelIndex index = model->index(row, column, view->rootIndex());
            const QRect cell = view->visualRect(index);
            if (!index.data().toString().isEmpty() && view->viewport()->rect().intersects(cell))
                areas.append({view->viewport(),
                              nameOf(view) + u" cell %1,%2"_s.arg(row).arg(column), cell, {}});
        }
    }
}

QList<TextArea> textAreas(const QWidget &window)
{
    QList<TextArea> areas;
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->isVisible())
            continue;
        if (const auto *label = qobject_cast<const QLabel *>(w)) {
            const int m = label->margin();
            const bool wraps = label->wordWrap() || Qt::mightBeRichText(label->text());
            if (!label->text().isEmpty())
                areas.append({w, nameOf(w), label->contentsRect().adjusted(m, m, -m, -m),
                              wraps ? QSize() : textSize(w, label->text())});
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(w)) {
            QSize needs = textSize(w, button->text());
            if (!button->icon().isNull())
                needs.rwidth() += button->iconSize().width() + 4;
            if (!button->text().isEmpty())
                areas.append({w, nameOf(w), buttonContents(button), needs});
        } else if (const auto *view = qobject_cast<const QAbstractItemView *>(w)) {
            addCells(view, areas);
        } else if (const auto *status = qobject_cast<const StatusLine *>(w)) {
            // It wraps its text and grows to show all of it.
            const QRect room = status->rect().adjusted(1, 1, -1, -1);
            const QRect needs = status->fontMetrics().boundingRect(
                    QRect(room.topLeft(), QSize(room.width(), QWIDGETSIZE_MAX)),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, status->text());
            if (!status->text().isEmpty())
                areas.append({w, nameOf(w), room, needs.size()});
        } else if (const auto *bar = qobject_cast<const QProgressBar *>(w)) {
            if (bar->isTextVisible())
                areas.append({w, nameOf(w), w->rect().adjusted(1, 1, -1, -1), {}});
        } else if (const auto *tabs = qobject_cast<const QTabBar *>(w)) {
            const int space = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, w);
            for (int i = 0; i < tabs->count(); ++i)
                areas.append({w, nameOf(w) + u" tab %1"_s.arg(i),
                              tabs->tabRect(i).intersected(tabs->rect()),
                              textSize(w, tabs->tabText(i)) + QSize(space, 0)});
        }
    }
    return areas;
}

/// Texts that stand out too little from what they are painted on or have too little room,
/// and lamps that stand out too little from the window around them.
QStringList textFaults(const Shot &shot)
{
    QStringList faults;
    for (const TextArea &area : textAreas(shot.window)) {
        const QSize has = area.room.size();
        if (area.needs.width() > has.width() || area.needs.height() > has.height())
            faults << u"%1: needs %2×%3, has %4×%5"_s.arg(area.what).arg(area.needs.width())
                              .arg(area.needs.height()).arg(has.width()).arg(has.height());
        // Disabled controls are exempt: their faded text says that they do nothing now.
        // Two pixels in from the edges, the frames and lines around a text are left out.
        const QRect pixels = shot.pixels(area.widget, area.room.adjusted(2, 2, -2, -2));
        if (!area.widget->isEnabled() || pixels.isEmpty())
            continue;
        const auto [text, background] = shot.textAndBackground(pixels);
        if (const double ratio = contrast(text, background); ratio < textContrast)
            faults << area.what + u": "_s + describe(ratio, text, background);
    }
    for (const ShapeIndicator *lamp : shot.window.findChildren<ShapeIndicator *>()) {
        if (!lamp->isVisible())
            continue;
        const QRect pixels = shot.pixels(lamp, lamp->rect());
        const QColor fill = shot.image.pixelColor(pixels.center());
        const QColor around = shot.image.pixelColor(pixels.topLeft());
        if (const double ratio = contrast(fill, around); ratio < shapeContrast)
            faults << nameOf(lamp) + u": "_s + describe(ratio, fill, around);
    }
    return faults;
}

/// The chart's texts against its background, its lines against its plot area, its background
/// against the window's (a white chart in a dark window glares), and texts it had to cut short.
QStringList chartFaults(const Shot &shot)
{
    QStringList faults;
    const auto *view = shot.window.findChild<QChartView *>(u"motionChart"_s);
    if (!view || !view->isVisible())
        return faults;
    const QChart *chart = view->chart();
    const QRect plot = chart->plotArea().toAlignedRect();
    // Above the plot area is the chart's own background, and nothing else.
    const QWidget *canvas = view->viewport();
    const QRect above(plot.left() + 8, 4, plot.width() - 16, plot.top() - 8);
    const QColor background = shot.textAndBackground(shot.pixels(canvas, above)).second;
    const QColor plotArea = shot.textAndBackground(shot.pixels(canvas, plot)).second;
    const QColor window = shot.window.palette().color(QPalette::Window);
    if ((luminance(background) < 0.2) != (luminance(window) < 0.2))
        faults << u"motionChart: background %1 in a window of %2"_s.arg(background.name(),
                                                                        window.name());
    const auto check = [&](const QString &what, const QColor &colour, const QColor &under,
                           double least = textContrast) {
        if (const double ratio = contrast(colour, under); ratio < least)
            faults << u"motionChart %1: "_s.arg(what) + describe(ratio, colour, under);
    };
    for (const QAbstractAxis *axis : chart->axes()) {
        if (axis->isVisible()) {
            check(axis->titleText() + u" labels"_s, axis->labelsBrush().color(), background);
            check(axis->titleText() + u" title"_s, axis->titleBrush().color(), background);
        }
    }
    check(u"legend"_s, chart->legend()->labelColor(), background);
    // A title or legend entry with too little room is shown cut to "...".
    for (const QGraphicsItem *item : view->scene()->items()) {
        const auto *text = dynamic_cast<const QGraphicsTextItem *>(item);
        if (text && text->isVisible() && text->toPlainText().endsWith(u"..."))
            faults << u"motionChart: a text cut to \"%1\""_s.arg(text->toPlainText());
    }
    for (const QAbstractSeries *series : chart->series()) {
        if (const auto *line = qobject_cast<const QLineSeries *>(series))
            check(line->name().left(20), line->pen().color(), plotArea, shapeContrast);
    }
    return faults;
}

} // namespace

class TestLooks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
        m_light = QApplication::style()->standardPalette();
        QVERIFY(QDir().mkpath(m_pictures));
    }

    void cleanup()
    {
        installLanguage(Language::Chinese);
        QApplication::setPalette(m_light);
    }

    void looks_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("theme"); // dark-later: it turns dark once all was shown
        const char *const rows[][2] = {{"zh", "light"}, {"zh", "dark"},      {"en", "light"},
                                       {"en", "dark"},  {"zh", "dark-later"}};
        for (const auto &[language, theme] : rows)
            QTest::addRow("%s %s", language, theme) << QString(language) << QString(theme);
    }

    void looks()
    {
        QFETCH(QString, language);
        QFETCH(QString, theme);
        QApplication::setPalette(theme == u"dark" ? darkPalette() : m_light);
        SimFixture f({SimConfig{.address = 1}});
        if (language == u"en")
            f.control<QRadioButton>(u"Option2"_s)->click();
        f.window.fitToScreen();
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        // The window opens at the size it asks for, as far as the screen has room.
        QCoreApplication::sendPostedEvents();
        const QSize room = f.window.screen()->availableGeometry().size() * 0.95;
        QCOMPARE(f.window.size(),
                 f.window.sizeHint().boundedTo(room).expandedTo(f.window.minimumSizeHint()));
        // The motion tab as it first shows, before any sample: an empty chart.
        auto *tabs = f.control<QTabWidget>(u"SSTab1"_s);
        tabs->setCurrentWidget(f.control(u"motionTab"_s));
        QCoreApplication::sendPostedEvents();
        QStringList faults = chartFaults(Shot(f.window));
        tabs->setCurrentIndex(0);
        fillWindow(f);
        if (QTest::currentTestFailed())
            return;
        if (theme == u"dark-later") {
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                QCoreApplication::sendPostedEvents();
            }
            QApplication::setPalette(darkPalette());
        }

        const QString scale = QString::number(qRound(f.window.devicePixelRatio() * 100));
        std::vector<std::future<QString>> saved; // each names its picture when it failed
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::sendPostedEvents(); // the page's layout and its first show
            const Shot shot(f.window);
            const QString name = u"%1/%2-%3-%4-%5.png"_s.arg(m_pictures, scale, language, theme,
                                                              tabs->widget(i)->objectName());
            // Written beside the checks; light compression, as the default level would
            // take most of the test's time.
            saved.push_back(std::async(std::launch::async, [image = shot.image, name] {
                return image.save(name, "PNG", 80) ? QString() : u"cannot write "_s + name;
            }));
            faults << textFaults(shot) << chartFaults(shot);
        }
        for (std::future<QString> &picture : saved)
            faults << picture.get();
        faults.removeAll(QString());
        faults.removeDuplicates();
        for (const QString &fault : std::as_const(faults))
            qWarning("%s", qPrintable(fault));
        QVERIFY2(faults.isEmpty(), "the faults are listed above");
    }

private:
    // Everything that shows text gets some: traffic in both views, exchanges in the log, a station
    // in the scan results, a configuration read and a write that a station never answered (its rows
    // are marked), lamps lit and unlit by replies, a move with its predicted profile, and a test
    // plan's steps with their outcomes.
    static void fillWindow(SimFixture &f)
    {
        QVERIFY(f.open());
        // The simulated controller shares the test's event loop: a margin and retries for a
        // loaded machine.
        f.apply(u"scanFrom=01;scanTo=01;scanTimeout=200;scanRetries=3"_s);
        f.pickRates({u"9600"_s});
        f.click(u"scanStart"_s);
        QTRY_VERIFY(f.enabled(u"scanStart"_s));
        auto *results = f.control<QTableView>(u"scanResults"_s)->model();
        QCOMPARE(results->rowCount(), 1);
        auto *diff = f.control<QTableView>(u"configDiff"_s)->model();
        f.click(u"configRead"_s);
        QTRY_VERIFY(diff->rowCount() > 30);
        // The write goes to the station of Text23 once no scan result is ticked.
        results->setData(results->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
        f.apply(u"Text23=09;replyTimeout=100"_s); // nobody answers at 09
        f.click(u"configWrite"_s);
        QTRY_COMPARE(diff->rowCount(), 1);
        f.apply(u"Text23=01"_s);
        f.simulator.setInputs(0b10101); // IN1, IN3 and IN5 active
        f.click(u"Command94"_s);
        QTRY_VERIFY(f.shape(5)->fillColor() != f.shape(6)->fillColor());
        auto *log = f.control<QTableView>(u"exchangeLog"_s)->model();
        const int exchanges = log->rowCount();
        f.click(u"Command29"_s); // the motion state: stopped
        QTRY_VERIFY(log->rowCount() > exchanges);
        f.click(u"Command18"_s); // a move: the chart's legend names the prediction's sources
        QTRY_VERIFY(log->rowCount() > exchanges + 1);
        // A plan whose steps pass, pass marginally and fail: the outcomes and verdict coloured.
        QTemporaryDir dir;
        const QString plan = dir.filePath(u"looks.toml"_s);
        QVERIFY(writeFile(plan, R"(step = [{ code = "20" },
    { code = "28", value = { min = 0, marginal_min = 99999 } }, { code = "28", value = { max = 1 } }]
)"));
        f.dialogs->fileNames << plan;
        f.click(u"testOpen"_s);
        f.click(u"testRun"_s);
        QTRY_VERIFY(f.enabled(u"testSave"_s));
        QVERIFY(!f.text("testVerdict").isEmpty());
        f.window.Timer1_Timer(); // the receive poll, which the fixture leaves to the test
        for (int n : {1, 2})
            f.view(n)->syncDisplay();
    }

    QPalette m_light;
    const QString m_pictures = QStringLiteral(STEPPERBENCH_SCREENSHOTS); // in the build tree
};

QTEST_MAIN(TestLooks)
#include "tst_looks.moc"
