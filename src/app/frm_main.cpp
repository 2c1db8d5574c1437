#include "frm_main.h"

#include "codec/hex_text.h"
#include "device/command_set.h"
#include "device/frame.h"
#include "exchange/capture_writer.h"
#include "exchange/exchange_log_model.h"
#include "exchange/exchange_monitor.h"
#include "lazy_page.h"
#include "link/mscomm.h"
#include "link/open_port.h"
#include "motion_chart.h"
#include "traffic/reply_decoder.h"
#include "traffic/traffic_lines.h"
#include "util/monotonic_clock.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QSortFilterProxyModel>

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

FrmMain::FrmMain(QWidget *parent)
    : QWidget(parent)
    , MenuCMD(new QMenu(tr("命令操作"), this))
    , DelectList(MenuCMD->addAction(tr("删除")))
    , DelectAll(MenuCMD->addAction(tr("清空")))
    , MSComm1(new MSComm(this))
    , Timer1(new QTimer(this))
    , Timer2(new QTimer(this))
    , m_exchanges(new ExchangeMonitor(this))
    , m_exchangeLog(new ExchangeLogModel(100'000, this))
    , m_exchangeFilter(new QSortFilterProxyModel(this))
    , m_capture(new CaptureWriter(this))
    , m_dialogs(std::make_unique<Dialogs>())
{
    ui.setupUi(this);
    m_motionChart = new MotionChart(m_motion, ui.motionChartHolder,
                                    {ui.predictedDuration, ui.measuredDuration, ui.positionError},
                                    this);
    frame1.setupUi(ui.Frame1);
    frame2.setupUi(ui.Frame2);
    frame3.setupUi(ui.Frame3);
    frame4.setupUi(ui.Frame4);
    frame5.setupUi(ui.Frame5);
    frame6.setupUi(ui.Frame6);

    // The byte counters change with every frame: at a fixed size a change only
    // repaints the counter, instead of asking the window for a new layout.
    for (QLabel *counter : {ui.Label44, ui.Label45}) {
        counter->setFixedSize(
                counter->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")),
                counter->sizeHint().height());
    }

    MenuCMD->setObjectName(QStringLiteral("MenuCMD"));
    DelectList->setObjectName(QStringLiteral("DelectList"));
    DelectAll->setObjectName(QStringLiteral("DelectAll"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    Timer2->setTimerType(Qt::PreciseTimer);
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setInterval(0);

    connect(Timer1, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
    connect(&m_drainTimer, &QTimer::timeout, this, &FrmMain::drainReceived);
    m_lastPoll.start();

    // The exchange layer sees bytes as they arrive and frames as they leave;
    // the receive poll only shows the blocks.
    connect(MSComm1, &MSComm::bytesArrived, m_exchanges, &ExchangeMonitor::bytesArrived);
    connect(MSComm1, &MSComm::frameWritten, m_exchanges, &ExchangeMonitor::frameWritten);
    connect(m_exchanges, &ExchangeMonitor::replyFramed, this, &FrmMain::applyReply);
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(100);
    connect(&m_statusTimer, &QTimer::timeout, this, &FrmMain::showExchangeStatus);
    connect(m_exchanges, &ExchangeMonitor::statsChanged, this, [this] {
        if (!m_statusTimer.isActive())
            m_statusTimer.start();
    });
    connect(ui.statsReset, &QPushButton::clicked, m_exchanges, &ExchangeMonitor::resetStats);
    connect(MSComm1, &MSComm::writeFailed, this,
            [this](const QString &reason) { showLinkNotice(tr("写入失败：%1").arg(reason)); });
    connect(MSComm1, &MSComm::writeResumed, this, [this] { showLinkNotice(tr("串口恢复写入")); });
    connectExchangeTab();
    connectMotionTab();
    connectBusTab();
    m_reconnectTimer.setInterval(500);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &FrmMain::tryReconnect);
    connect(MSComm1, &MSComm::deviceLost, this, &FrmMain::onDeviceLost);
    connect(frame4.Command32, &QPushButton::clicked, this, &FrmMain::Command32_Click);
    connect(frame4.Command33, &QPushButton::clicked, this, &FrmMain::Command33_Click);
    connect(frame4.Combo1, &QComboBox::currentTextChanged, this, &FrmMain::showPortDevice);
    connect(ui.Command36, &QPushButton::clicked, this, &FrmMain::Command36_Click);
    connect(ui.Command6, &QPushButton::clicked, this, &FrmMain::Command6_Click);
    connect(ui.Combo7, &QComboBox::currentTextChanged, this, &FrmMain::Combo7_Scroll);
    connect(ui.Combo7, &QComboBox::activated, this, &FrmMain::Combo7_Scroll);
    connect(ui.Option1, &QRadioButton::toggled, this, [this](bool chosen) {
        if (chosen)
            setLanguage(Language::Chinese);
    });
    connect(ui.Option2, &QRadioButton::toggled, this, [this](bool chosen) {
        if (chosen)
            setLanguage(Language::English);
    });

    resolveControls();
    connectCommands();
    connectPanel();
    connectList();
    FrmMain_Form_Load();
    // A window made while English is in force (a second one, a test) speaks it too.
    if (installedLanguage() == Language::English)
        setLanguage(Language::English);
}

FrmMain::~FrmMain()
{
    if (m_keepSettings)
        saveSettings();
    // The controls outlive this part of the window while QWidget tears them
    // down; a box losing its focus then must not call back into it.
    for (QObject *child : findChildren<QObject *>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

void FrmMain::setDialogs(std::unique_ptr<Dialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

void FrmMain::readPictureAhead()
{
    pictureAhead() = std::async(std::launch::async, readPicture);
}

void FrmMain::FrmMain_Form_Load()
{
    AddToListRequest = false;
    AddToIoBoxRequest = false;
    m_pages = {new LazyPage(ui.WebBrowser1, QStringLiteral("product1"), this),
               new LazyPage(ui.WebBrowser2, QStringLiteral("product2"), this),
               new LazyPage(ui.RichTextBox4, QStringLiteral("help_io"), this),
               new LazyPage(ui.RichTextBox3, QStringLiteral("help_protocol"), this)};
    std::future<QImage> ahead = std::move(pictureAhead());
    ui.Picture1->setPixmap(QPixmap::fromImage(ahead.valid() ? ahead.get() : readPicture()));
    showPortDevice();
    m_exchanges->setMode(commModeFromText(ui.Combo7->currentText()));
    showExchangeStatus();
}

void FrmMain::Combo7_Scroll()
{
    const CommMode mode = commModeFromText(ui.Combo7->currentText());
    m_exchanges->setMode(mode);
    m_capture->setMode(mode);
    const bool rtu = mode == CommMode::Rtu;
    frame3.Command81->setEnabled(rtu);
    frame3.Command88->setEnabled(rtu);
}

// --- Command buttons ------------------------------------------------------

void FrmMain::resolveControls()
{
    // Every control the command tables name, found once: a misspelt name stops
    // the program here, in any build, instead of sending 0 from a box that
    // reads as empty.
    // One walk over the window's widgets, then a lookup per name.
    QHash<QString, QWidget *> byName;
    for (QWidget *widget : findChildren<QWidget *>()) {
        if (!widget->objectName().isEmpty() && !byName.contains(widget->objectName()))
            byName.insert(widget->objectName(), widget);
    }
    const auto resolve = [&](const char *name) {
        if (!name || m_controls.contains(name))
            return;
        QWidget *control = byName.value(QLatin1String(name));
        if (!control)
            qFatal("FrmMain: the command tables name a control \"%s\" that the window lacks", name);
        m_controls.insert(name, control);
    };
    resolve(addressBox);
    for (const CommandSpec &command : commandCatalogue()) {
        resolve(command.button);
        resolve(command.valueBox);
        resolve(command.directionBox);
    }
    for (const AddButton &add : addButtons())
        resolve(add.button);
    for (const CommandInfo &row : commandSet())
        resolve(row.valueBox);
    for (const char *shape : indicatorShapes())
        resolve(shape);
}

template<typename T>
T *FrmMain::resolved(const char *name) const
{
    auto *control = qobject_cast<T *>(m_controls.value(name));
    if (!control)
        qFatal("FrmMain: \"%s\" is not a control of the kind the command tables need", name);
    return control;
}

void FrmMain::connectCommands()
{
    for (const CommandSpec &command : commandCatalogue()) {
        connect(resolved<QPushButton>(command.button), &QPushButton::clicked, this,
                [this, &command] { runCommand(command); });
    }
    for (const AddButton &add : addButtons()) {
        const CommandSpec *target = findCommand(add.target);
        if (!target)
            qFatal("FrmMain: %s leads to %s, which is no command button", add.button, add.target);
        connect(resolved<QPushButton>(add.button), &QPushButton::clicked, this,
                [this, &add, target] {
                    addThenRun(add.toIoBox, [this, target] { runCommand(*target); });
                });
    }
}

// The completion path every command button ends with: build the payload from
// the boxes, frame it for the mode, honour a pending request, send.
void FrmMain::runCommand(const CommandSpec &command)
{
    // The requests this command honours are consumed here, whatever follows.
    const bool toIoBox = command.requests == Requests::ListAndIo
            && std::exchange(AddToIoBoxRequest, false);
    const bool toList = command.requests != Requests::None
            && std::exchange(AddToListRequest, false);

    const Result<QByteArray, FieldError> payload = buildPayload(
            command, [this](const char *box) { return controlText(box); });
    if (!payload) {
        showMessage(fieldErrorMessage(payload.error()));
        return;
    }
    const QByteArray &request = *payload;
    const QByteArray frame = frameRequest(request, commModeFromText(ui.Combo7->currentText()));
    if (toIoBox) {
        // The command part of the request (code, length, data), the same bytes in
        // both modes: the controller stores and runs it whatever the line's framing.
        frame3.Text31->setText(FormatHexText(QByteArrayView(request).sliced(1)));
    }
    if (toList)
        addListLine(FormatHexText(frame));
    SendFrame(frame);
}

void FrmMain::addThenRun(bool toIoBox, const std::function<void()> &handler)
{
    (toIoBox ? AddToIoBoxRequest : AddToListRequest) = true;
    handler();
    // One-shot: nothing stays pending after the click, whatever the handler did.
    AddToListRequest = false;
    AddToIoBoxRequest = false;
}

QString FrmMain::controlText(const char *name) const
{
    const QWidget *control = m_controls.value(name);
    if (const auto *box = qobject_cast<const QLineEdit *>(control))
        return box->text();
    if (const auto *selector = qobject_cast<const QComboBox *>(control))
        return selector->currentText();
    qFatal("FrmMain: \"%s\" is no box or selector the command tables know", name);
}

// --- Serial port ----------------------------------------------------------

void FrmMain::Command32_Click()
{
    QString settings = frame4.Combo2->currentText() + QStringLiteral(",n,8,1");
    m_reconnectTimer.stop();
    MSComm1->close();
    m_exchanges->reset();
    forgetQuiet();
    stopBusWork();
    const std::optional<int> number = PortNames::portNumber(frame4.Combo1->currentText());
    if (!number) {
        enterClosedState(); // the port is closed now; it must not look open
        showMessage(tr("请选择正确的串口名"));
        return;
    }
    qint16 port = qint16(*number);
    if (const Status opened = CommSetting::OpenPort(*MSComm1, m_portNames, port, settings);
        !opened) {
        // A failed opening must not look like an open port.
        enterClosedState();
        showMessage(tr("无法打开串口 %1：%2").arg(portDescription(), opened.error()));
        return;
    }
    m_device = identifyDevice(MSComm1->devicePath());
    frame4.Combo1->setEnabled(false);
    frame4.Combo2->setEnabled(false);
    frame4.Command32->setEnabled(false);
    frame4.Command33->setEnabled(true);
    Timer1->start();
}

void FrmMain::Command33_Click()
{
    m_reconnectTimer.stop();
    MSComm1->close();
    m_exchanges->reset();
    forgetQuiet();
    stopBusWork();
    enterClosedState();
}

void FrmMain::enterClosedState()
{
    frame4.Combo1->setEnabled(true);
    frame4.Combo2->setEnabled(true);
    frame4.Command32->setEnabled(true);
    frame4.Command33->setEnabled(false);
}

void FrmMain::onDeviceLost(const QString &reason)
{
    drainReceived(); // the last reply before the device went away
    if (ui.autoReconnect->isChecked()) {
        // The window stays open: the device is reopened when it comes back, and
        // the list and a running loop carry on. "关闭" stops waiting.
        showLinkNotice(tr("串口 %1 已断开（%2），等待设备恢复…").arg(portDescription(), reason));
        m_reconnectTimer.start();
        return;
    }
    enterClosedState();
    showMessage(tr("串口 %1 已断开（%2），串口已关闭。设备恢复后可重新打开。")
                        .arg(portDescription(), reason));
}

void FrmMain::tryReconnect()
{
    const QString path = findDevice(m_device);
    if (path.isEmpty())
        return;
    MSComm1->setDevicePath(path);
    if (!MSComm1->open())
        return; // there, but not ready yet: the next round tries again
    m_reconnectTimer.stop();
    showLinkNotice(tr("串口 %1 已恢复（%2）").arg(frame4.Combo1->currentText(), path));
}

void FrmMain::showPortDevice()
{
    const std::optional<int> number = PortNames::portNumber(frame4.Combo1->currentText());
    // Listing the system's ports walks every terminal device; the window does
    // not wait for the listing started at program start: the label is filled
    // once it is done.
    if (number && !m_portNames.hasMapping(*number) && PortNames::listingAheadPending()) {
        QTimer::singleShot(10, this, &FrmMain::showPortDevice);
        return;
    }
    const QString device = number ? m_portNames.devicePath(*number) : QString();
    const QString label = number ? m_portNames.label(*number) : QString();
    if (device.isEmpty())
        frame4.PortDevice->setText(tr("（无此串口）"));
    else if (label.isEmpty())
        frame4.PortDevice->setText(device);
    else
        frame4.PortDevice->setText(tr("%1：%2").arg(tr(label.toUtf8().constData()), device));
    frame4.PortDevice->setToolTip(device);
}

QString FrmMain::portDescription() const
{
    const QString name = frame4.Combo1->currentText();
    const std::optional<int> number = PortNames::portNumber(name);
    const QString device = number ? m_portNames.devicePath(*number) : QString();
    return device.isEmpty() || device == name ? name : QStringLiteral("%1（%2）").arg(name, device);
}

void FrmMain::showMessage(const QString &text)
{
    m_dialogs->message(this, text);
}

// --- Receive path ---------------------------------------------------------

void FrmMain::Timer1_Timer()
{
    m_lastPoll.start();
    // Bytes held back for a quiet reply show once it has settled, new bytes or not.
    if (MSComm1->takeCommEvent() != MSComm::ComEvReceive && m_rxHeld.isEmpty()
        && m_quietReplies.isEmpty())
        return;
    drainReceived();
}

void FrmMain::drainReceived()
{
    if (!m_quietRequests.isEmpty() || !m_quietReplies.isEmpty() || !m_rxHeld.isEmpty()) {
        drainQuiet();
        return;
    }
    // Everything waiting is shown, in blocks of at most 512 bytes; a long run is
    // cut into time slices so that the window stays responsive.
    QElapsedTimer slice;
    slice.start();
    while (MSComm1->inBufferCount() > 0) {
        const QByteArray block = MSComm1->input();
        ShowReceived(block, block.size());
        if (slice.elapsed() >= m_pollTimeSliceMs && MSComm1->inBufferCount() > 0) {
            m_drainTimer.start();
            return;
        }
    }
}

void FrmMain::ShowReceived(const QByteArray &block, qsizetype count)
{
    const QByteArray bytes = block.left(qBound<qsizetype>(0, count, block.size()));
    TrafficView *view = ui.RichTextBox1;
    if (view->text().size() > viewLimit) {
        view->setText(QString());
        ui.Label45->setText(QStringLiteral("0"));
    }

    // Values come from whole reply frames (applyReply), never from a block,
    // which may be a piece of one.
    const ReceivedDisplay display = decodeReceived(bytes,
                                                   commModeFromText(ui.Combo7->currentText()));

    // Newest first: text line, hex line, then the description line.
    QString lines = textLine(u"RecAsc:", bytes) + hexLine(u"RecHex:", bytes);
    if (display.description)
        lines += descriptionLine(*display.description);
    view->prependText(lines);
    ui.Label45->setText(QString::number(counterValue(ui.Label45->text()) + bytes.size()));
    emit blockShown(bytes.size());
}

// The value step of a reply the framer completed, whether it came in one
// block or in several.
void FrmMain::applyReply(const RxEvent &reply)
{
    const ReceivedDisplay display = decodeReceived(reply.bytes,
                                                   commModeFromText(ui.Combo7->currentText()));
    if (display.valueBox)
        resolved<QLineEdit>(display.valueBox)->setText(display.valueText);
    if (display.statusCaption) {
        frame2.Label15->setText(*display.statusCaption);
        m_shownMoving = display.moving;
    }
    for (const IndicatorState &indicator : display.indicators)
        resolved<ShapeIndicator>(indicator.shape)->setActive(indicator.active);
}

void FrmMain::showExchangeStatus()
{
    const QString summary = m_exchanges->stats().summary();
    ui.exchangeStatus->setText(m_linkNotice.isEmpty() ? summary : summary + u'\n' + m_linkNotice);
}

void FrmMain::showLinkNotice(const QString &text)
{
    // The latest two notices: a stall and its end often come together.
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz "))
            + text;
    m_linkNotice = m_linkNotice.isEmpty() ? line : m_linkNotice.section(u'\n', -1) + u'\n' + line;
    m_capture->linkEvent(text, monotonicUs());
    showExchangeStatus();
}

void FrmMain::connectExchangeTab()
{
    m_exchangeFilter->setSourceModel(m_exchangeLog);
    m_exchangeFilter->setFilterRole(ExchangeLogModel::VerdictRole);
    m_exchangeFilter->setFilterKeyColumn(ExchangeLogModel::Result);
    ui.exchangeLog->setModel(m_exchangeFilter);
    ui.exchangeLog->verticalHeader()->setDefaultSectionSize(ui.exchangeLog->fontMetrics().height()
                                                            + 4);
    ui.exchangeLog->horizontalHeader()->setStretchLastSection(true);
    connect(m_exchanges, &ExchangeMonitor::exchangeSettled, this, [this](const Exchange &e) {
        m_exchangeLog->append(e, QDateTime::currentMSecsSinceEpoch());
    });

    fillExchangeFilter();
    connect(ui.exchangeFilter, &QComboBox::currentIndexChanged, this, [this] {
        const int verdict = ui.exchangeFilter->currentData().toInt();
        m_exchangeFilter->setFilterRegularExpression(
                verdict < 0 ? QString() : QStringLiteral("^%1$").arg(verdict));
    });

    connect(ui.replyTimeout, &QSpinBox::valueChanged, this,
            [this](int ms) { m_exchanges->setReplyTimeoutUs(qint64(ms) * 1000); });
    connect(ui.byteTimeout, &QSpinBox::valueChanged, this,
            [this](int ms) { m_exchanges->setByteTimeoutUs(qint64(ms) * 1000); });
    connect(ui.echoSuppression, &QCheckBox::toggled, m_exchanges,
            &ExchangeMonitor::setEchoSuppression);
    m_exchanges->setReplyTimeoutUs(qint64(ui.replyTimeout->value()) * 1000);
    m_exchanges->setByteTimeoutUs(qint64(ui.byteTimeout->value()) * 1000);
    m_exchanges->setEchoSuppression(ui.echoSuppression->isChecked());

    connect(ui.captureButton, &QPushButton::clicked, this, &FrmMain::toggleCapture);
    connect(m_exchanges, &ExchangeMonitor::requestWritten, m_capture, &CaptureWriter::frameSent);
    connect(m_exchanges, &ExchangeMonitor::exchangeSettled, m_capture,
            &CaptureWriter::exchangeSettled);
    connect(m_exchanges, &ExchangeMonitor::bytesDiscarded, m_capture,
            &CaptureWriter::bytesDiscarded);
    connect(m_capture, &CaptureWriter::failed, this, [this](const QString &message) {
        ui.captureButton->setText(tr("开始捕获…"));
        showMessage(message);
    });
}

void FrmMain::toggleCapture()
{
    if (m_capture->isActive()) {
        m_capture->stop();
        ui.captureButton->setText(tr("开始捕获…"));
        return;
    }
    const QString path = m_dialogs->saveFileName(
            this, tr("捕获到文件"), tr("文本记录(*.log *.txt);;CSV 表格(*.csv);;所有文件(*)"));
    if (path.isEmpty())
        return;
    m_capture->setMode(commModeFromText(ui.Combo7->currentText()));
    if (const Status started = m_capture->start(path); !started) {
        showMessage(started.error());
        return;
    }
    ui.captureButton->setText(tr("停止捕获"));
}

// --- Send path ------------------------------------------------------------

bool FrmMain::SendFrame(const QByteArray &frame, bool quiet)
{
    if (!MSComm1->portOpen())
        return false;
    // Each write puts the next poll one full interval off; a poll is never put
    // off for more than one interval, so replies show at any send rate.
    if (Timer1->isActive() && m_lastPoll.elapsed() >= Timer1->interval())
        Timer1_Timer();
    Timer1->stop();
    if (quiet)
        m_quietRequests.append(frame); // before its reply can settle
    const Status written = MSComm1->output(frame);
    Timer1->start();
    if (!written) {
        if (quiet)
            m_quietRequests.removeLast();
        // Shown once; a device that went away is reported by onDeviceLost.
        if (!written.error().isEmpty())
            showMessage(tr("串口 %1 写入失败：%2").arg(portDescription(), written.error()));
        return false;
    }
    if (quiet)
        return true;

    TrafficView *view = ui.RichTextBox2;
    if (view->text().size() > viewLimit) {
        view->setText(QString());
        ui.Label44->setText(QStringLiteral("0"));
    }
    QString lines = textLine(u"SndAsc:", frame) + hexLine(u"SndHex:", frame);
    if (const auto description = describeSentFrame(frame))
        lines += descriptionLine(*description);
    view->prependText(lines);
    ui.Label44->setText(QString::number(counterValue(ui.Label44->text()) + frame.size()));
    emit frameShown(frame.size());
    return true;
}

void FrmMain::Command36_Click()
{
    ui.RichTextBox1->setText(QString());
    ui.Label45->setText(QStringLiteral("0"));
}

void FrmMain::Command6_Click()
{
    ui.RichTextBox2->setText(QString());
    ui.Label44->setText(QStringLiteral("0"));
}
