// The window as a person sees it, at the scale factor CTest sets (QT_SCALE_FACTOR 1,
// 1.5 or 2), in both languages, under a light palette, a dark one, and a light one that
// turns dark while the window is open: every text stands out from what it is painted
// on, the lamps from the window, and no caption is cut off at the size the window opens
// at. Each tab is saved as a picture for a person to look at.

#include "sim_fixture.h"
#include "status_line.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextDocument>
#include <QTextEdit>

#include <cmath>
#include <future>
#include <vector>

namespace {

enum class Theme { Light, Dark, DarkLater };

const char *themeName(Theme theme)
{
    return theme == Theme::Light ? "light" : theme == Theme::Dark ? "dark" : "dark-later";
}

// The least contrast a person needs: text against its background, and a lamp or a line
// against what is around it.
constexpr double textContrast = 4.5;
constexpr double shapeContrast = 3;

// The dark palette of a desktop in dark mode.
QPalette darkPalette()
{
    QPalette p;
    const auto set = [&p](QPalette::ColorRole role, QColor colour) {
        p.setColor(role, colour);
    };
    set(QPalette::Window, QColor(0x35, 0x35, 0x35));
    set(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    set(QPalette::Base, QColor(0x24, 0x24, 0x24));
    set(QPalette::AlternateBase, QColor(0x2e, 0x2e, 0x2e));
    set(QPalette::Text, QColor(0xee, 0xee, 0xee));
    set(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    set(QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
    set(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    set(QPalette::BrightText, QColor(0xff, 0x60, 0x60));
    set(QPalette::Light, QColor(0x55, 0x55, 0x55));
    set(QPalette::Midlight, QColor(0x48, 0x48, 0x48));
    set(QPalette::Mid, QColor(0x28, 0x28, 0x28));
    set(QPalette::Dark, QColor(0x1e, 0x1e, 0x1e));
    set(QPalette::Shadow, QColor(0x10, 0x10, 0x10));
    set(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    set(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    set(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    set(QPalette::LinkVisited, QColor(0xc0, 0x90, 0xff));
    set(QPalette::ToolTipBase, QColor(0x20, 0x20, 0x20));
    set(QPalette::ToolTipText, QColor(0xee, 0xee, 0xee));
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
        QRgb background = 0;
        int most = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > most)
                std::tie(background, most) = std::pair(it.key(), it.value());
        }
        QColor text(background);
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (contrast(QColor(it.key()), QColor(background)) > contrast(text, QColor(background)))
                text = QColor(it.key());
        }
        return {text, QColor(background)};
    }

    QWidget &window;
    QImage image;
    qreal scale;
};

QString nameOf(const QWidget *widget)
{
    // Inner parts (a spin box's line edit, a view's viewport) go by their owner's name.
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"))
            return w == widget ? w->objectName()
                               : w->objectName() + u'/' + widget->metaObject()->className();
    }
    return QString::fromLatin1(widget->metaObject()->className());
}

// Where a visible control shows text, in the coordinates of the widget that paints it.
struct TextArea
{
    const QWidget *widget;
    QString what;
    QRect rect;
    QColor unwritten; // for a box with nothing in it: the colour a typed text would get
};

QStyleOptionButton buttonOption(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    if (const auto *push = qobject_cast<const QPushButton *>(button); push && push->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    return option;
}

QRect buttonContents(const QAbstractButton *button)
{
    const QStyleOptionButton option = buttonOption(button);
    const QStyle::SubElement element = qobject_cast<const QCheckBox *>(button)
            ? QStyle::SE_CheckBoxContents
            : qobject_cast<const QRadioButton *>(button) ? QStyle::SE_RadioButtonContents
                                                         : QStyle::SE_PushButtonContents;
    return button->style()->subElementRect(element, &option, button);
}

QRect groupTitle(const QGroupBox *group)
{
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.lineWidth = 1;
    option.textAlignment = group->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (group->isCheckable())
        option.subControls |= QStyle::SC_GroupBoxCheckBox;
    return group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                          group);
}

QRect comboText(const QComboBox *combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.currentText = combo->currentText();
    option.frame = combo->hasFrame();
    option.subControls = QStyle::SC_All;
    return combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                          QStyle::SC_ComboBoxEditField, combo);
}

QRect lineEditText(const QLineEdit *edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
            ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
            : 0;
    return edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
}

QRect labelText(const QLabel *label)
{
    const int margin = label->margin();
    QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    if (label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text())))
        return room;
    return label->style()->itemTextRect(label->fontMetrics(), room, int(label->alignment()), true,
                                        label->text());
}

/// The cells and header sections an item view shows.
void addItemAreas(const QAbstractItemView *view, QList<TextArea> &areas)
{
    const QAbstractItemModel *model = view->model();
    if (!model)
        return;
    if (const auto *header = qobject_cast<const QHeaderView *>(view)) {
        for (int i = 0; i < header->count(); ++i) {
            const int at = header->sectionViewportPosition(i);
            const QRect section = header->orientation() == Qt::Horizontal
                    ? QRect(at, 0, header->sectionSize(i), header->height())
                    : QRect(0, at, header->width(), header->sectionSize(i));
            if (!header->isSectionHidden(i)
                && !model->headerData(i, header->orientation()).toString().isEmpty())
                areas.append({header->viewport(),
                              nameOf(header) + u" section %1"_s.arg(i),
                              section.adjusted(2, 2, -2, -2),
                              {}});
        }
        return;
    }
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            const QModelIndex index = model->index(row, column, view->rootIndex());
            const QRect cell = view->visualRect(index);
            if (index.data().toString().isEmpty() || !view->viewport()->rect().intersects(cell))
                continue;
            areas.append({view->viewport(),
                          nameOf(view) + u" cell %1,%2"_s.arg(row).arg(column),
                          cell.adjusted(2, 1, -2, -1),
                          {}});
        }
    }
}

QList<TextArea> textAreas(const QWidget &window)
{
    QList<TextArea> areas;
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        // Disabled controls are exempt: their faded text says that they do nothing now.
        if (!w->isVisible() || !w->isEnabled())
            continue;
        const QPalette &palette = w->palette();
        if (const auto *label = qobject_cast<const QLabel *>(w)) {
            if (!label->text().isEmpty())
                areas.append({w, nameOf(w), labelText(label), {}});
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(w)) {
            if (button->text().isEmpty())
                continue;
            QRect text = buttonContents(button);
            const QSize size = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
            // A push button centres its caption; a check box puts it at the left.
            text = qobject_cast<const QPushButton *>(button)
                    ? QRect(text.center() - QPoint(size.width(), size.height()) / 2, size)
                    : QRect(text.topLeft(),
                            QSize(std::min(size.width(), text.width()), text.height()));
            areas.append({w, nameOf(w), text, {}});
        } else if (const auto *group = qobject_cast<const QGroupBox *>(w)) {
            if (!group->title().isEmpty())
                areas.append({w, nameOf(w) + u" title"_s, groupTitle(group), {}});
        } else if (const auto *edit = qobject_cast<const QLineEdit *>(w)) {
            const bool empty = edit->text().isEmpty() && edit->placeholderText().isEmpty();
            areas.append({w, nameOf(w), lineEditText(edit),
                          empty ? palette.color(QPalette::Text) : QColor()});
        } else if (const auto *combo = qobject_cast<const QComboBox *>(w)) {
            if (!combo->isEditable())
                areas.append({w, nameOf(w), comboText(combo), {}});
        } else if (const auto *plain = qobject_cast<const QPlainTextEdit *>(w)) {
            areas.append({plain->viewport(), nameOf(w), plain->viewport()->rect(),
                          plain->document()->isEmpty() ? palette.color(QPalette::Text) : QColor()});
        } else if (const auto *rich = qobject_cast<const QTextEdit *>(w)) {
            areas.append({rich->viewport(), nameOf(w), rich->viewport()->rect(),
                          rich->document()->isEmpty() ? palette.color(QPalette::Text) : QColor()});
        } else if (const auto *view = qobject_cast<const QAbstractItemView *>(w)) {
            addItemAreas(view, areas);
        } else if (const auto *status = qobject_cast<const StatusLine *>(w)) {
            areas.append(
                    {w, nameOf(w), w->rect(),
                     status->text().isEmpty() ? palette.color(QPalette::WindowText) : QColor()});
        } else if (const auto *bar = qobject_cast<const QProgressBar *>(w)) {
            if (bar->isTextVisible())
                areas.append({w, nameOf(w), w->rect().adjusted(3, 3, -3, -3), {}});
        } else if (const auto *tabs = qobject_cast<const QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                areas.append({w,
                              nameOf(w) + u" tab %1"_s.arg(i),
                              tabs->tabRect(i).adjusted(4, 4, -4, -4),
                              {}});
        }
    }
    return areas;
}

/// Texts that stand out too little from what they are painted on, and lamps that stand
/// out too little from the window around them.
QStringList contrastFaults(const Shot &shot)
{
    QStringList faults;
    for (const TextArea &area : textAreas(shot.window)) {
        const QRect pixels = shot.pixels(area.widget, area.rect);
        if (pixels.isEmpty())
            continue;
        auto [text, background] = shot.textAndBackground(pixels);
        if (area.unwritten.isValid())
            text = area.unwritten;
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

/// The chart's texts against its background, its lines against its plot area, its
/// background against the window's (a white chart in a dark window glares), and texts
/// it had to cut short.
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
                           double least) {
        if (const double ratio = contrast(colour, under); ratio < least)
            faults << u"motionChart %1: "_s.arg(what) + describe(ratio, colour, under);
    };
    for (const QAbstractAxis *axis : chart->axes()) {
        if (!axis->isVisible())
            continue;
        check(axis->titleText() + u" labels"_s, axis->labelsBrush().color(), background,
              textContrast);
        check(axis->titleText() + u" title"_s, axis->titleBrush().color(), background,
              textContrast);
    }
    check(u"legend"_s, chart->legend()->labelColor(), background, textContrast);
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

/// What a text needs to be shown whole in \a font.
QSize textSize(const QFont &font, const QString &text, bool rich)
{
    if (!rich)
        return QFontMetrics(font).size(Qt::TextShowMnemonic, text);
    QTextDocument document;
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    document.setHtml(text);
    return QSizeF(document.idealWidth(), document.size().height()).toSize();
}

/// Captions cut off: each visible caption against the room its control gives it.
QStringList clippedCaptions(const QWidget &window)
{
    QStringList faults;
    const auto check = [&faults](const QWidget *w, const QString &text, QSize needs, QSize has) {
        if (needs.width() > has.width() || needs.height() > has.height())
            faults << u"%1 \"%2\": needs %3×%4, has %5×%6"_s.arg(nameOf(w), text)
                              .arg(needs.width())
                              .arg(needs.height())
                              .arg(has.width())
                              .arg(has.height());
    };
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->isVisible())
            continue;
        if (const auto *label = qobject_cast<const QLabel *>(w)) {
            if (label->wordWrap() || label->text().isEmpty())
                continue;
            const bool rich = label->textFormat() == Qt::RichText
                    || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
            const int margin = label->margin();
            const QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
            check(w, label->text(), textSize(label->font(), label->text(), rich), room.size());
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(w)) {
            if (button->text().isEmpty())
                continue;
            QSize needs = textSize(button->font(), button->text(), false);
            if (!button->icon().isNull())
                needs.rwidth() += button->iconSize().width() + 4;
            check(w, button->text(), needs, buttonContents(button).size());
        } else if (const auto *group = qobject_cast<const QGroupBox *>(w)) {
            if (group->title().isEmpty())
                continue;
            const QRect title = groupTitle(group);
            const QSize needs = textSize(group->font(), group->title(), false);
            check(w, group->title(), needs, title.intersected(group->rect()).size());
        } else if (const auto *combo = qobject_cast<const QComboBox *>(w)) {
            if (!combo->isEditable())
                check(w, combo->currentText(), textSize(combo->font(), combo->currentText(), false),
                      comboText(combo).size());
        } else if (const auto *status = qobject_cast<const StatusLine *>(w)) {
            const QRect room = status->rect().adjusted(1, 1, -1, -1);
            const QRect needs = status->fontMetrics().boundingRect(
                    QRect(room.topLeft(), QSize(room.width(), QWIDGETSIZE_MAX)),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, status->text());
            check(w, status->text(), needs.size(), room.size());
        } else if (const auto *tabs = qobject_cast<const QTabBar *>(w)) {
            const int space = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, w);
            for (int i = 0; i < tabs->count(); ++i) {
                const QSize needs = textSize(tabs->font(), tabs->tabText(i), false)
                        + QSize(space, 0);
                check(w, tabs->tabText(i), needs,
                      tabs->tabRect(i).intersected(tabs->rect()).size());
            }
        }
    }
    return faults;
}

/// Where the pictures go: a folder of the build tree.
QString screenshotFolder()
{
    return QStringLiteral(STEPPERBENCH_SCREENSHOTS);
}

} // namespace

Q_DECLARE_METATYPE(Theme)

class TestLooks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
        m_light = QApplication::style()->standardPalette();
        QVERIFY(QDir().mkpath(screenshotFolder()));
    }

    void cleanup()
    {
        installLanguage(Language::Chinese);
        QApplication::setPalette(m_light);
    }

    void looks_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<Theme>("theme");
        for (const bool english : {false, true}) {
            for (const Theme theme : {Theme::Light, Theme::Dark})
                QTest::addRow("%s %s", english ? "en" : "zh", themeName(theme)) << english << theme;
        }
        // The desktop turns dark while the window is open, after everything has been shown.
        QTest::addRow("zh %s", themeName(Theme::DarkLater)) << false << Theme::DarkLater;
    }

    void looks()
    {
        QFETCH(bool, english);
        QFETCH(Theme, theme);
        QApplication::setPalette(theme == Theme::Dark ? darkPalette() : m_light);
        SimFixture f({SimConfig{.address = 1}});
        if (english)
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
        if (theme == Theme::DarkLater) {
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
            const QString name = u"%1/%2-%3-%4-%5.png"_s.arg(
                    screenshotFolder(), scale, english ? u"en"_s : u"zh"_s,
                    QLatin1String(themeName(theme)), tabs->widget(i)->objectName());
            // Written beside the checks; light compression, as the default level would
            // take most of the test's time.
            saved.push_back(std::async(std::launch::async, [image = shot.image, name] {
                return image.save(name, "PNG", 80) ? QString() : u"cannot write "_s + name;
            }));
            faults << contrastFaults(shot) << chartFaults(shot) << clippedCaptions(f.window);
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
    // Everything that shows text gets some: traffic in both views, exchanges in the log,
    // a station in the scan results, a configuration read and a write that a station
    // never answered (its rows are marked), lamps lit and unlit by replies, and a move
    // with its predicted profile.
    static void fillWindow(SimFixture &f)
    {
        QVERIFY(f.open());
        f.apply(u"scanFrom=01;scanTo=01"_s);
        // The simulated controller shares the test's event loop: a margin and retries
        // that a loaded machine keeps.
        f.control<QSpinBox>(u"scanTimeout"_s)->setValue(200);
        f.control<QSpinBox>(u"scanRetries"_s)->setValue(3);
        auto *bauds = f.control<QListWidget>(u"scanBauds"_s);
        for (int i = 0; i < bauds->count(); ++i)
            bauds->item(i)->setCheckState(bauds->item(i)->text() == u"9600" ? Qt::Checked
                                                                            : Qt::Unchecked);
        f.click(u"scanStart"_s);
        QTRY_VERIFY(f.enabled(u"scanStart"_s));
        auto *results = f.control<QTableView>(u"scanResults"_s)->model();
        QCOMPARE(results->rowCount(), 1);
        auto *diff = f.control<QTableView>(u"configDiff"_s)->model();
        f.click(u"configRead"_s);
        QTRY_VERIFY(diff->rowCount() > 30);
        // The write goes to the station of Text23 once no scan result is ticked.
        results->setData(results->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
        f.apply(u"Text23=09"_s);
        f.control<QSpinBox>(u"replyTimeout"_s)->setValue(100); // nobody answers at 09
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
        f.window.Timer1_Timer(); // the receive poll, which the fixture leaves to the test
        for (int n : {1, 2})
            f.view(n)->syncDisplay();
    }

    QPalette m_light;
};

QTEST_MAIN(TestLooks)
#include "tst_looks.moc"
