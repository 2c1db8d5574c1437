// The example frames of the help and product pages, against the program. Each is marked
// <code class="frame" data-mode="rtu|ascii|short">: its check and length must fit; with
// data-button it is what that button sends (after data-boxes, "Box=text;Box=text"); with
// data-request, the simulated controller's reply to the last of its steps ("frame|frame|inputs
// BITS", the motor at rest between steps).

#include "sequencer/io_table.h"
#include "sim/sim_controller.h"
#include "test_util.h"
#include "traffic/reply_decoder.h"
#include "traffic/traffic_lines.h"
#include "window_fixture.h"

#include <QRegularExpression>
#include <QTabWidget>
#include <QTextBrowser>

namespace {

const QRegularExpression frameMarkup(
        QStringLiteral(R"(<code class="frame"([^>]*)>([^<]*)</code>)"));

// The pages and how many frames each has marked, so that a page losing its marks fails. The English
// pages carry the same frames, but for the English summaries that close the Chinese product pages.
constexpr std::pair<const char *, int> pages[] = {
        {"help_io.html", 11},    {"help_protocol.html", 56}, {"product1.html", 3},
        {"product2.html", 2},    {"help_io_en.html", 11},    {"help_protocol_en.html", 56},
        {"product1_en.html", 2}, {"product2_en.html", 1}};

QString pageText(const char *page)
{
    return QString::fromUtf8(fileContent(u":/"_s + QLatin1String(page)));
}

// ":012000DF" is an ASCII frame written as its characters, CR LF left out;
// anything else is hex bytes.
QByteArray frameBytes(const QString &text)
{
    const QString t = text.trimmed();
    return t.startsWith(u':') ? t.toLatin1() + "\r\n" : QByteArray::fromHex(t.toLatin1());
}

} // namespace

class TestHelpPages : public QObject
{
    Q_OBJECT

private slots:
    void pagesStayInTheWindow()
    {
        FrmMain window;
        window.show();
        const QList<QTextBrowser *> browsers = window.findChildren<QTextBrowser *>();
        QCOMPARE(browsers.size(), 4); // two product pages, two help pages
        // Each page is read when its tab is first shown.
        auto *tabs = window.findChild<QTabWidget *>(u"SSTab1"_s);
        for (int i = 0; i < tabs->count(); ++i)
            tabs->setCurrentIndex(i);
        for (const QTextBrowser *browser : browsers)
            QVERIFY2(!browser->toPlainText().isEmpty() && !browser->openExternalLinks(),
                     qPrintable(browser->objectName()));
        for (const auto &[page, count] : pages)
            QCOMPARE(pageText(page).count(frameMarkup), count);
    }

    void frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("attributes");
        for (const auto &[page, count] : pages) {
            auto marks = frameMarkup.globalMatch(pageText(page));
            for (int n = 1; marks.hasNext(); ++n) {
                const QRegularExpressionMatch mark = marks.next();
                QTest::addRow("%s #%d %s", page, n, qPrintable(mark.captured(2).trimmed()))
                        << frameBytes(mark.captured(2)) << mark.captured(1);
            }
        }
    }

    void frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, attributes);
        const auto attribute = [&](const char *name) {
            const QString start = u" data-%1=\""_s.arg(QLatin1String(name));
            return attributes.section(start, 1, 1).section(u'"', 0, 0);
        };
        const QString mode = attribute("mode");
        QVERIFY(mode == u"rtu" || mode == u"ascii" || mode == u"short");
        const bool ascii = mode == u"ascii";
        // The check: a CRC, low byte first; an LRC and CR LF; none for a two-byte reply.
        const qsizetype check = mode == u"rtu" ? 2 : ascii ? 1 : 0;
        const std::optional<QByteArray> spelled = ascii ? asciiFrameBytes(frame) : frame;
        QVERIFY(spelled && spelled->size() >= 2 + check);
        const QByteArray payload = spelled->chopped(check);
        if (check)
            QCOMPARE(frameRequest(payload, ascii ? CommMode::Ascii : CommMode::Rtu).toHex(' '),
                     frame.toHex(' '));
        // The length: a two-byte reply is one the window knows, an error reply one
        // exception code, any other frame as many data bytes as its length byte says.
        if (payload.size() == 2)
            QVERIFY(decodeReceived(payload, CommMode::Rtu).description);
        else
            QCOMPARE(payload.size(), 3 + (quint8(payload[1]) & 0x80 ? 0 : quint8(payload[2])));
        if (const QString button = attribute("button"); !button.isEmpty()) {
            WindowFixture f;
            f.apply(attribute("boxes"));
            f.mode(ascii ? 1 : 0);
            QVERIFY(f.open());
            f.click(button);
            QCOMPARE(f.sent().toHex(' '), frame.toHex(' '));
        }
        if (const QString request = attribute("request"); !request.isEmpty()) {
            SimController controller;
            QByteArray reply;
            for (const QString &step : request.split(u'|')) {
                if (step.startsWith(u"inputs "))
                    controller.setInputs(ioCode(step.mid(7))); // as typed at stepperbench-sim
                else
                    reply = controller.receive(frameBytes(step));
                controller.advance(10'000'000);
            }
            QCOMPARE(reply.toHex(' '), frame.toHex(' '));
        }
    }
};

QTEST_MAIN(TestHelpPages)
#include "tst_help_pages.moc"
