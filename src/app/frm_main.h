#pragma once

#include "ui_frame1.h"
#include "ui_frame2.h"
#include "ui_frame3.h"
#include "ui_frame4.h"
#include "ui_frame5.h"
#include "ui_frame6.h"
#include "ui_frm_main.h"

#include "device/command_catalogue.h"
#include "dialogs.h"
#include "language.h"
#include "link/device_finder.h"
#include "link/port_names.h"
#include "bus/config_set.h"
#include "bus/config_transfer.h"
#include "motion/motion_tracker.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHash>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class BusScanner;
class CaptureWriter;
class QStandardItemModel;
class ScanResultModel;
class ExchangeLogModel;
class ExchangeMonitor;
class LazyPage;
class MSComm;
class MotionChart;
class QSortFilterProxyModel;
struct Exchange;
struct RxEvent;

// The main window. Its controls are the data model: every routine reads the
// texts it needs at the moment of use and writes its results back into them.
// The tool tab is composed of one Designer form per frame: the main form holds
// an empty group box for each frame, which the frame's form fills.
class FrmMain : public QWidget
{
    Q_OBJECT

public:
    explicit FrmMain(QWidget *parent = nullptr);
    ~FrmMain() override;

    /// Which device each of COM1 to COM9 stands for.
    PortNames &portNames() { return m_portNames; }
    /// Shows beside the port selector which device the chosen name stands for;
    /// call after changing the port names.
    void refreshPortDevice() { showPortDevice(); }
    /// How long one receive poll may show blocks before it lets the event loop
    /// run; the rest follows at the next turn, so a flood never freezes the window.
    void setPollTimeSlice(int ms) { m_pollTimeSliceMs = ms; }
    /// Opens the chosen port, as "打开" does.
    void openPort() { Command32_Click(); }
    /// Forgets every kept setting (--reset-settings).
    static void resetSettings();
    /// Starts decoding the first view's decoration picture on a thread of its
    /// own, for the window built next to take instead of decoding it then.
    static void readPictureAhead();
    /// Brings back what the last session kept and keeps this session's at the
    /// end; false when there was no window geometry to bring back.
    bool restoreSettings();
    /// Keeps the settings now (done at the end once restoreSettings() ran).
    void saveSettings();
    /// Gives the window the size it opens at when no kept geometry places it: the
    /// size it asks for, within 95 % of the screen's free area, never below its minimum.
    void fitToScreen();
    /// Switches the whole window to \a language at once, as "中文" and
    /// "English" do; frames, files and values stay the same in both.
    void setLanguage(Language language);
    Language language() const { return installedLanguage(); }
    /// Replaces the message boxes (tests answer them through this).
    void setDialogs(std::unique_ptr<Dialogs> dialogs);
    /// Requests, replies, verdicts and response times of the link.
    ExchangeMonitor &exchanges() { return *m_exchanges; }
    /// The samples, predictions and figures the motion tab shows.
    const MotionTracker &motion() const { return m_motion; }
    MotionChart &motionChart() { return *m_motionChart; }

    // Window-level state shared by the command handlers and the sequencer.
    bool AddToListRequest = false;
    bool AddToIoBoxRequest = false;
    qint16 SequencerLine = 0;

signals:
    /// A block went through ShowReceived: \a count bytes were shown. The
    /// counters restart at the view limit; this lets a watcher count them all.
    void blockShown(qsizetype count);
    /// A frame went through SendFrame and was written and shown.
    void frameShown(qsizetype count);

public slots:
    /// The one send path: writes the whole frame when the port is open and shows
    /// it in the send view (unless \a quiet: the automatic poll's frames may stay
    /// out of the views). With the port closed it does nothing. True when the
    /// frame was handed to the port.
    bool SendFrame(const QByteArray &frame, bool quiet = false);
    /// Shows one received block in the receive view and puts reply values into
    /// the read-back boxes and indicators.
    void ShowReceived(const QByteArray &block, qsizetype count);
    /// The receive poll, every 200 ms once the port has been opened.
    void Timer1_Timer();
    /// One step of the command-list run loop.
    void Timer2_Timer();
    /// Replaces the command list with the lines of the file at \a path.
    void LoadListFile(const QString &path);

private slots:
    void Command32_Click(); // 打开
    void Command33_Click(); // 关闭
    void Command36_Click(); // clear the receive view
    void Command6_Click(); // clear the send view
    void Combo7_Scroll(); // mode selector
    // The manual panel.
    void Command1_Click(); // 发送16进制数据
    void Command8_Click(); // CRC低位在前
    void Command2_Click(); // CRC高位在前
    void Command3_Click(); // CRC添加发送
    void Command9_Click(); // 计算LRC
    void Command4_Click(); // LRC添加发送
    void Command10_Click(); // MODBUS发送ASC
    void Command11_Click(); // MODBUS发送RTU
    void Command37_Click(); // 发送字符串
    void Command5_Click(); // 转为16进制
    void Command56_Click(); // 转为字符串
    // The command list and its run loop.
    void Command34_Click(); // insert a delay line
    void Command35_Click(); // insert a jump line
    void Text20_Change(); // keeps the delay within 50..60000
    void DelectList_Click();
    void DelectAll_Click();
    void Check1_Click();
    void Command54_Click(); // 打开文件
    void Command55_Click(); // 命令另存为
    // The IO replacement table.
    void Command81_Click(); // 下载
    void Command88_Click(); // ?

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FrmMain_Form_Load();
    void resolveControls();
    template<typename T>
    T *resolved(const char *name) const;
    void connectCommands();
    void runCommand(const CommandSpec &command);
    void connectPanel();
    void connectList();
    void addThenRun(bool toIoBox, const std::function<void()> &handler);
    void sendManual(const std::function<QByteArray(const QByteArray &)> &frameOf);
    void honourListRequest(const QByteArray &frame);
    bool addListLine(const QString &line);
    std::optional<quint8> stationAddress();
    void setRunInterval(int intervalMs);
    QString controlText(const char *name) const;
    void drainReceived();
    void drainQuiet();
    void forgetQuiet();
    void showBlocks(QByteArray bytes);
    void connectMotionTab();
    void connectBusTab();
    bool busReady();
    void stopBusWork();
    void startScan();
    void useScanResult(int row);
    void showConfigOutcome(const ConfigTransfer::Outcome &outcome);
    void openConfigSet();
    void saveConfigSet();
    void onExchangeSettled(const Exchange &exchange);
    MotionParameters boxParameters() const;
    void startPollRound();
    void sendPollStep();
    void applyReply(const RxEvent &reply);
    void showLinkNotice(const QString &text);
    void showExchangeStatus();
    void connectExchangeTab();
    void toggleCapture();
    void tryReconnect();
    void enterClosedState();
    void onDeviceLost(const QString &reason);
    void showPortDevice();
    QString portDescription() const;
    void showMessage(const QString &text);
    void rememberListFolder(const QString &path);
    void retranslate();
    void fillExchangeFilter();
    void setConfigDiffHeaders();

    Ui::FrmMain ui;
    Ui::Frame1 frame1; // 基本命令: station commands
    Ui::Frame2 frame2; // 参数设置与查询: motion parameters and queries
    Ui::Frame3 frame3; // 运动控制: motion commands and the IO table
    Ui::Frame4 frame4; // 串口设置: serial port
    Ui::Frame5 frame5; // 其他: other commands and the input indicators
    Ui::Frame6 frame6; // 高级自动控制功能: command list and sequencer

    QMenu *MenuCMD; // the command list's pop-up menu: 删除, 清空
    QAction *DelectList;
    QAction *DelectAll;
    MSComm *MSComm1;
    QTimer *Timer1;
    QTimer *Timer2;
    bool m_inRunStep = false;
    int m_pollTimeSliceMs = 20;
    QTimer m_drainTimer; // carries on a receive poll that ran out of its time slice
    QElapsedTimer m_lastPoll; // the last receive poll, so that sends never starve it
    ExchangeMonitor *m_exchanges;
    QTimer m_statusTimer; // gathers changes of the statistics line
    QString m_linkNotice; // the latest two stalls, losses or returns of the device
    ExchangeLogModel *m_exchangeLog;
    QSortFilterProxyModel *m_exchangeFilter;
    CaptureWriter *m_capture;
    DeviceIdentity m_device; // of the port as it was opened, to find it again
    QTimer m_reconnectTimer; // looks for a vanished device while reconnecting
    PortNames m_portNames;
    MotionTracker m_motion;
    MotionChart *m_motionChart;
    // The automatic poll: a round of queries per interval, each sent once
    // nothing else waits for a reply.
    QTimer *m_autoPollTimer = new QTimer(this);
    int m_pollStep = -1; // the query of the round in progress, -1 between rounds
    QByteArray m_pollFrame; // the query sent, until it settles
    QElapsedTimer m_pollSince; // the round's start, to give up on a lost one
    // Quiet polling: the queries waiting for their replies, and the replies (and
    // echoes) that the receive view leaves out; bytes held back while a quiet
    // reply may still be arriving.
    BusScanner *m_scanner;
    ConfigTransfer *m_transfer;
    ScanResultModel *m_scanResults;
    QStandardItemModel *m_configDiff;
    ConfigSet m_configSet; // read from a station or a file; what "写入" writes
    bool m_configWriting = false;
    QStringList m_configSummary; // a line per station written
    QList<QByteArray> m_quietRequests;
    QList<QByteArray> m_quietReplies;
    QByteArray m_rxHeld;
    // The controls the command tables name, by object name (string literals).
    QHash<QByteArrayView, QWidget *> m_controls;
    std::unique_ptr<Dialogs> m_dialogs;
    bool m_keepSettings = false; // restoreSettings() ran: save at the end
    QString m_listFolder; // of the last list file opened or saved
    QList<LazyPage *> m_pages; // the product and help pages, read when first shown
    std::optional<bool> m_shownMoving; // the motion state Label15 shows, once known
};
