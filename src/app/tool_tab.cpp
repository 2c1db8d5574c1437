// The tool tab's construction, the port, and the two traffic views: the one
// send path and the receive poll.
#include "tool_tab.h"

#include "ui_frame1.h"
#include "ui_frame2.h"
#include "ui_frame3.h"
#include "ui_frame4.h"
#include "ui_frame5.h"
#include "ui_frame6.h"
#include "ui_tool_tab.h"

#include "codec/hex_text.h"
#include "device/command_set.h"
#include "dialogs.h"
#include "device/leading_number.h"
#include "session/link_session.h"
#include "session/run_driver.h"
#include "traffic/reply_decoder.h"
#include "traffic/traffic_lines.h"

#include <QDateTime>
#include <QMenu>

#include <future>
#include <utility>

namespace {

// A traffic view longer than this is emptied before the next lines go in.
constexpr qsizetype viewLimit = 10000;

// The first image read also looks over Qt's image plug-ins: a few milliseconds
// that a thread can spend while the window's widgets are made.
QImage readPicture()
{
    return QImage(QStringLiteral(":/picture1.png"));
}

std::future<QImage> &pictureAhead()
{
    static std::future<QImage> picture;
    return picture;
}

} // namespace

ToolTab::ToolTab(TabContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , ui(std::make_unique<Ui::ToolTab>())
    , frame1(std::make_unique<Ui::Frame1>())
    , frame2(std::make_unique<Ui::Frame2>())
    , frame3(std::make_unique<Ui::Frame3>())
    , frame4(std::make_unique<Ui::Frame4>())
    , frame5(std::make_unique<Ui::Frame5>())
    , frame6(std::make_unique<Ui::Frame6>())
    , MenuCMD(new QMenu(tr("命令操作"), this))
    , DelectList(MenuCMD->addAction(tr("删除")))
    , DelectAll(MenuCMD->addAction(tr("清空")))
    , Timer1(new QTimer(this))
{
    setUpForms();
    connectLink();
    connectPort();
    resolveControls();
    connectCommands();
    connectPanel();
    connectList();
    std::future<QImage> ahead = std::move(pictureAhead());
    ui->Picture1->setPixmap(QPixmap::fromImage(ahead.valid() ? ahead.get() : readPicture()));
    showPortDevice();
    m_context.session->setMode(mode());
    showExchangeStatus();
}

ToolTab::~ToolTab()
{
    // The controls outlive this part of the window while QWidget tears them
    // down; a box losing its focus then must not call back into it.
    for (QObject *child : findChildren<QObject *>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

void ToolTab::readPictureAhead()
{
    pictureAhead() = std::async(std::launch::async, readPicture);
}

void ToolTab::setUpForms()
{
    ui->setupUi(this);
    frame1->setupUi(ui->Frame1);
    frame2->setupUi(ui->Frame2);
    frame3->setupUi(ui->Frame3);
    frame4->setupUi(ui->Frame4);
    frame5->setupUi(ui->Frame5);
    frame6->setupUi(ui->Frame6);
    // The byte counters change with every frame: at a fixed size a change only
    // repaints the counter, instead of asking the window for a new layout.
    for (QLabel *counter : {ui->Label44, ui->Label45}) {
        counter->setFixedSize(
                counter->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")),
                counter->sizeHint().height());
    }
    MenuCMD->setObjectName(QStringLiteral("MenuCMD"));
    DelectList->setObjectName(QStringLiteral("DelectList"));
    DelectAll->setObjectName(QStringLiteral("DelectAll"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setInterval(0);
}

// The receive poll, the statistics line and the link's own events.
void ToolTab::connectLink()
{
    LinkSession *session = m_context.session;
    ExchangeMonitor *exchanges = &session->exchanges();
    connect(Timer1, &QTimer::timeout, this, &ToolTab::Timer1_Timer);
    connect(&m_drainTimer, &QTimer::timeout, this, &ToolTab::drainReceived);
    m_lastPoll.start();
    connect(exchanges, &ExchangeMonitor::replyFramed, this, &ToolTab::applyReply);
    // The quiet filter hears every event of the framer in order, a frame before
    // the exchange it settles.
    connect(exchanges, &ExchangeMonitor::replyFramed, this,
            [this](const RxEvent &event) { m_quiet.framed(event); });
    connect(exchanges, &ExchangeMonitor::bytesDiscarded, this,
            [this](const RxEvent &event) { m_quiet.framed(event); });
    connect(exchanges, &ExchangeMonitor::exchangeSettled, this,
            [this](const Exchange &exchange) { m_quiet.settled(exchange); });
    connect(session, &LinkSession::restarted, this, [this] {
        m_quiet.reset();
        m_rxHeld.clear();
    });
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(100);
    connect(&m_statusTimer, &QTimer::timeout, this, &ToolTab::showExchangeStatus);
    connect(exchanges, &ExchangeMonitor::statsChanged, this, [this] {
        if (!m_statusTimer.isActive())
            m_statusTimer.start();
    });
    connect(ui->statsReset, &QPushButton::clicked, exchanges, &ExchangeMonitor::resetStats);
    connect(session, &LinkSession::linkNotice, this, &ToolTab::showLinkNotice);
    connect(ui->Command36, &QPushButton::clicked, this, &ToolTab::Command36_Click);
    connect(ui->Command6, &QPushButton::clicked, this, &ToolTab::Command6_Click);
}

void ToolTab::connectPort()
{
    connect(m_context.session, &LinkSession::deviceLost, this, &ToolTab::onDeviceLost);
    connect(frame4->Command32, &QPushButton::clicked, this, &ToolTab::Command32_Click);
    connect(frame4->Command33, &QPushButton::clicked, this, &ToolTab::Command33_Click);
    connect(frame4->Combo2, &QComboBox::currentTextChanged, this, &ToolTab::Combo2_Change);
    connect(frame4->Combo1, &QComboBox::currentTextChanged, this, &ToolTab::showPortDevice);
    connect(ui->Combo7, &QComboBox::currentTextChanged, this, &ToolTab::Combo7_Scroll);
    connect(ui->Combo7, &QComboBox::activated, this, &ToolTab::Combo7_Scroll);
    connect(ui->Option1, &QRadioButton::toggled, this, [this](bool chosen) {
        if (chosen)
            emit languageChosen(Language::Chinese);
    });
    connect(ui->Option2, &QRadioButton::toggled, this, [this](bool chosen) {
        if (chosen)
            emit languageChosen(Language::English);
    });
}

void ToolTab::showLanguage(Language language)
{
    const QSignalBlocker blockChinese(ui->Option1);
    const QSignalBlocker blockEnglish(ui->Option2);
    (language == Language::English ? ui->Option2 : ui->Option1)->setChecked(true);
}

CommMode ToolTab::mode() const
{
    return commModeFromText(ui->Combo7->currentText());
}

void ToolTab::Combo7_Scroll()
{
    const CommMode mode = this->mode();
    m_context.session->setMode(mode);
    // The IO table travels as binary frames only, and not while listening.
    const bool binary = !framing(mode).spelled && !m_context.session->listening();
    frame3->Command81->setEnabled(binary);
    frame3->Command88->setEnabled(binary);
}

// --- Serial port ----------------------------------------------------------

void ToolTab::Command32_Click()
{
    QString settings = frame4->Combo2->currentText() + QStringLiteral(",n,8,1");
    const QString typed = frame4->Combo1->currentText().trimmed();
    const std::optional<int> number = PortNames::portNumber(typed);
    // A serial line over the network, typed in: opened by its URL.
    if (!number && LineUrl::looksLikeUrl(typed)) {
        if (const QString problem = lineUrlProblem(typed); !problem.isEmpty()) {
            m_context.session->close();
            enterClosedState();
            showMessage(problem);
            return;
        }
        m_context.session->setPortLabel(typed);
        const Result<MSComm::Settings> rate = MSComm::parseSettings(settings);
        const Status opened = rate ? m_context.session->open(typed, rate->baudRate)
                                   : Status(Failure{rate.error()});
        if (!opened) {
            enterClosedState();
            showMessage(tr("无法打开串口 %1：%2").arg(typed, opened.error()));
            return;
        }
        enterOpenState();
        return;
    }
    if (!number) {
        m_context.session->close();
        enterClosedState(); // the port is closed now; it must not look open
        showMessage(tr("请选择正确的串口名"));
        return;
    }
    m_context.session->setPortLabel(portDescription());
    if (const Status opened = m_context.session->openPort(m_portNames, qint16(*number), settings);
        !opened) {
        // A failed opening must not look like an open port.
        enterClosedState();
        showMessage(tr("无法打开串口 %1：%2").arg(portDescription(), opened.error()));
        return;
    }
    enterOpenState();
}

void ToolTab::enterOpenState()
{
    m_openedRate = frame4->Combo2->currentText();
    frame4->Combo1->setEnabled(false);
    frame4->Combo2->setEnabled(false);
    frame4->Command32->setEnabled(false);
    frame4->Command33->setEnabled(true);
    Timer1->start();
}

void ToolTab::Command33_Click()
{
    m_context.session->close();
    enterClosedState();
}

// During a scan or a transfer the selector keeps the rate the port opened at,
// which the line returns to at their end: a rate chosen then would show while
// the line runs at another. Otherwise a new rate takes effect at "打开".
void ToolTab::Combo2_Change()
{
    const QString text = frame4->Combo2->currentText();
    if (!m_context.session->isOpen() || text == m_openedRate || !m_busBusy || !m_busBusy())
        return;
    const QSignalBlocker block(frame4->Combo2);
    frame4->Combo2->setCurrentText(m_openedRate);
    showMessage(tr("扫描或配置传送正在进行，波特率在它结束后才能更改"));
}

void ToolTab::enterClosedState()
{
    m_openedRate.clear();
    frame4->Combo1->setEnabled(true);
    frame4->Combo2->setEnabled(true);
    frame4->Command32->setEnabled(true);
    frame4->Command33->setEnabled(false);
}

void ToolTab::useStation(quint8 address, qint32 rate)
{
    ui->Text23->setText(stationText(address));
    frame4->Combo2->setCurrentText(QString::number(rate));
    if (m_context.session->isOpen())
        Command32_Click(); // reopens at the station's rate
}

void ToolTab::onDeviceLost(const QString &reason, bool reconnecting)
{
    drainReceived(); // the last reply before the device went away
    // Reconnecting, the window stays open: the device is reopened when it comes
    // back, and the list and a running loop carry on. "关闭" stops waiting.
    if (reconnecting)
        return;
    enterClosedState();
    showMessage(tr("串口 %1 已断开（%2），串口已关闭。设备恢复后可重新打开。")
                        .arg(portDescription(), reason));
}

void ToolTab::showPortDevice()
{
    const QString typed = frame4->Combo1->currentText().trimmed();
    const std::optional<int> number = PortNames::portNumber(typed);
    // Listing the system's ports walks every terminal device; the window does
    // not wait for the listing started at program start: the label is filled
    // once it is done.
    if (number && !m_portNames.hasMapping(*number) && PortNames::listingAheadPending()) {
        QTimer::singleShot(10, this, &ToolTab::showPortDevice);
        return;
    }
    const QString device = number ? m_portNames.devicePath(*number)
            : LineUrl::looksLikeUrl(typed) ? typed
                                           : QString();
    const QString label = number ? m_portNames.label(*number) : QString();
    // A network line says whether the tool sets its rate.
    if (const std::optional<LineUrl> url = LineUrl::parse(device)) {
        frame4->PortDevice->setText(url->setsRate() ? tr("%1（RFC 2217：速率由本工具设定）").arg(url->text())
                                                    : tr("%1（原始 TCP：速率由网关设定）").arg(url->text()));
    } else if (LineUrl::looksLikeUrl(device)) {
        frame4->PortDevice->setText(tr("（不是有效的网络端口）"));
    } else if (device.isEmpty())
        frame4->PortDevice->setText(tr("（无此串口）"));
    else if (label.isEmpty())
        frame4->PortDevice->setText(device);
    else
        frame4->PortDevice->setText(tr("%1：%2").arg(tr(label.toUtf8().constData()), device));
    frame4->PortDevice->setToolTip(device);
}

QString ToolTab::portDescription() const
{
    const QString name = frame4->Combo1->currentText().trimmed();
    const std::optional<int> number = PortNames::portNumber(name);
    const QString device = number ? m_portNames.devicePath(*number) : QString();
    return device.isEmpty() || device == name ? name : QStringLiteral("%1（%2）").arg(name, device);
}

void ToolTab::showMessage(const QString &text)
{
    m_context.dialogs->message(this, text);
}

// --- Receive path ---------------------------------------------------------

void ToolTab::Timer1_Timer()
{
    m_lastPoll.start();
    // Bytes held back for a quiet reply show once it has settled, new bytes or not.
    if (m_context.session->link().takeCommEvent() != MSComm::ComEvReceive && m_rxHeld.isEmpty()
        && m_quiet.held() == 0)
        return;
    drainReceived();
}

// Everything waiting is shown, in blocks of at most 512 bytes, the automatic
// poll's quiet frames left out.
void ToolTab::drainReceived()
{
    MSComm &link = m_context.session->link();
    // With nothing waiting for a reply or still leaving, no quiet query can
    // be answered any more.
    if (m_context.session->exchanges().pendingRequests() == 0 && link.bytesToWrite() == 0)
        m_quiet.forgetRequests();
    // At least one take: bytes held back for a reply that has settled since go now.
    QByteArray bytes = std::exchange(m_rxHeld, {});
    do {
        bytes += m_quiet.take(link.input());
    } while (link.inBufferCount() > 0);
    showBlocks(std::move(bytes));
}

void ToolTab::ShowReceived(const QByteArray &block, qsizetype count)
{
    const QByteArray bytes = block.left(qBound<qsizetype>(0, count, block.size()));
    TrafficView *view = ui->RichTextBox1;
    if (view->text().size() > viewLimit) {
        view->setText(QString());
        ui->Label45->setText(QStringLiteral("0"));
    }

    // Values come from whole reply frames (applyReply), never from a block,
    // which may be a piece of one.
    const ReceivedDisplay display = decodeReceived(bytes, mode());

    // Newest first: text line, hex line, then the description line.
    QString lines = textLine(u"RecAsc:", bytes) + hexLine(u"RecHex:", bytes);
    if (display.description)
        lines += descriptionLine(*display.description);
    view->prependText(lines);
    ui->Label45->setText(QString::number(counterValue(ui->Label45->text()) + bytes.size()));
    emit blockShown(bytes.size());
}

void ToolTab::showExchangeStatus()
{
    const QString summary = m_context.session->stats().summary();
    ui->exchangeStatus->setText(m_linkNotice.isEmpty() ? summary : summary + u'\n' + m_linkNotice);
}

void ToolTab::showLinkNotice(const QString &text)
{
    // The latest two notices: a stall and its end often come together.
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz "))
            + text;
    m_linkNotice = m_linkNotice.isEmpty() ? line : m_linkNotice.section(u'\n', -1) + u'\n' + line;
    showExchangeStatus();
}

void ToolTab::showBlocks(QByteArray bytes)
{
    QElapsedTimer slice;
    slice.start();
    // A long run is cut into time slices, so that the window stays responsive.
    const qsizetype block = std::max(m_context.session->link().inputLen(), 1);
    qsizetype at = 0;
    for (; at < bytes.size(); at += block) {
        const QByteArray piece = bytes.mid(at, block);
        ShowReceived(piece, piece.size());
        if (slice.elapsed() >= m_pollTimeSliceMs && at + block < bytes.size()) {
            m_rxHeld.prepend(bytes.sliced(at + block));
            m_drainTimer.start();
            return;
        }
    }
}

// --- Send path ------------------------------------------------------------

bool ToolTab::SendFrame(const QByteArray &frame, bool quiet)
{
    if (!m_context.session->isOpen())
        return false;
    // Each write puts the next poll one full interval off; a poll is never put
    // off for more than one interval, so replies show at any send rate.
    if (Timer1->isActive() && m_lastPoll.elapsed() >= Timer1->interval())
        Timer1_Timer();
    Timer1->stop();
    if (quiet)
        m_quiet.requestSent(frame); // before its reply can settle
    const Status written = m_context.session->send(frame);
    Timer1->start();
    if (!written) {
        if (quiet)
            m_quiet.requestDropped(frame);
        // Shown once; a device that went away is reported by onDeviceLost.
        if (!written.error().isEmpty())
            showMessage(tr("串口 %1 写入失败：%2").arg(portDescription(), written.error()));
        return false;
    }
    if (quiet)
        return true;

    TrafficView *view = ui->RichTextBox2;
    if (view->text().size() > viewLimit) {
        view->setText(QString());
        ui->Label44->setText(QStringLiteral("0"));
    }
    QString lines = textLine(u"SndAsc:", frame) + hexLine(u"SndHex:", frame);
    if (const auto description = describeSentFrame(frame))
        lines += descriptionLine(*description);
    view->prependText(lines);
    ui->Label44->setText(QString::number(counterValue(ui->Label44->text()) + frame.size()));
    emit frameShown(frame.size());
    return true;
}

void ToolTab::Command36_Click()
{
    ui->RichTextBox1->setText(QString());
    ui->Label45->setText(QStringLiteral("0"));
}

void ToolTab::Command6_Click()
{
    ui->RichTextBox2->setText(QString());
    ui->Label44->setText(QStringLiteral("0"));
}
