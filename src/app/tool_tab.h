#pragma once

#include "device/command_catalogue.h"
#include "language.h"
#include "link/port_names.h"
#include "session/quiet_filter.h"
#include "tab_context.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class RunDriver;
struct Exchange;
struct RxEvent;

namespace Ui {
class ToolTab;
class Frame1;
class Frame2;
class Frame3;
class Frame4;
class Frame5;
class Frame6;
} // namespace Ui

// The tool tab: the port, the command buttons of the six frames, the manual
// panel, the command list and its run loop, the IO table, the two traffic views
// and the statistics line under them. Its controls are the data model: every
// routine reads the texts it needs at the moment of use and writes its results
// back into them. It owns the one send path and the receive poll.
class ToolTab : public QWidget
{
    Q_OBJECT

public:
    ToolTab(TabContext &context, QWidget *parent);
    ~ToolTab() override;

    /// Which device each of COM1 to COM9 stands for.
    PortNames &portNames() { return m_portNames; }
    /// Shows beside the port selector which device the chosen name stands for.
    void showPortDevice();
    /// How long one receive poll may show blocks before it lets the event loop
    /// run; the rest follows at the next turn, so a flood never freezes the window.
    void setPollTimeSlice(int ms) { m_pollTimeSliceMs = ms; }
    /// Opens the chosen port, as "打开" does.
    void openPort() { Command32_Click(); }
    /// Puts \a address into the address box and \a rate into the baud selector,
    /// and reopens an open port at that rate.
    void useStation(quint8 address, qint32 rate);
    /// What says that a scan or a transfer runs, which switches the line's rate
    /// itself: until it ends, the baud selector keeps the rate the port opened at.
    void setBusBusy(std::function<bool()> busy) { m_busBusy = std::move(busy); }
    /// Enables what the mode selector and listening allow (the IO table: binary
    /// frames only).
    void refreshModeControls() { Combo7_Scroll(); }
    /// Ticks "中文" or "English" without switching anything.
    void showLanguage(Language language);
    /// Starts decoding the decoration picture on a thread of its own, for the
    /// tab built next to take instead of decoding it then.
    static void readPictureAhead();
    /// The folder of the last list file opened or saved.
    QString listFolder() const { return m_listFolder; }
    void setListFolder(const QString &folder);

    // The mode and the address as the boxes say now.
    CommMode mode() const;
    std::optional<quint8> stationAddress();
    /// The address box's station, or nothing, without a message.
    std::optional<quint8> stationInBox() const;
    MotionParameters boxParameters() const;

    // State shared by the command handlers and the sequencer.
    bool AddToListRequest = false;
    bool AddToIoBoxRequest = false;
    qint16 SequencerLine = 0;

signals:
    /// "中文" or "English" was ticked.
    void languageChosen(Language language);
    /// A block went through ShowReceived: \a count bytes were shown.
    void blockShown(qsizetype count);
    /// A frame went through SendFrame and was written and shown.
    void frameShown(qsizetype count);

public slots:
    /// The one send path: writes the whole frame when the port is open and shows
    /// it in the send view (unless \a quiet). With the port closed it does
    /// nothing. True when the frame was handed to the port.
    bool SendFrame(const QByteArray &frame, bool quiet = false);
    /// Shows one received block in the receive view.
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
    void Combo2_Change(); // baud selector
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
    void changeEvent(QEvent *event) override;

private:
    void setUpForms();
    void connectLink();
    void connectPort();
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
    QString controlText(const char *name) const;
    void drainReceived();
    void showBlocks(QByteArray bytes);
    void applyReply(const RxEvent &reply);
    void showLinkNotice(const QString &text);
    void showExchangeStatus();
    void enterClosedState();
    void enterOpenState();
    void onDeviceLost(const QString &reason, bool reconnecting);
    QString portDescription() const;
    void showMessage(const QString &text);
    void rememberListFolder(const QString &path);
    void retranslate();

    TabContext &m_context;
    std::unique_ptr<Ui::ToolTab> ui;
    std::unique_ptr<Ui::Frame1> frame1; // 基本命令: station commands
    std::unique_ptr<Ui::Frame2> frame2; // 参数设置与查询: motion parameters and queries
    std::unique_ptr<Ui::Frame3> frame3; // 运动控制: motion commands and the IO table
    std::unique_ptr<Ui::Frame4> frame4; // 串口设置: serial port
    std::unique_ptr<Ui::Frame5> frame5; // 其他: other commands and the input indicators
    std::unique_ptr<Ui::Frame6> frame6; // 高级自动控制功能: command list and sequencer

    QMenu *MenuCMD; // the command list's pop-up menu: 删除, 清空
    QAction *DelectList;
    QAction *DelectAll;
    QTimer *Timer1;
    RunDriver *m_run; // the command list's run loop, on its timer Timer2
    int m_pollTimeSliceMs = 20;
    QTimer m_drainTimer; // carries on a receive poll that ran out of its time slice
    QElapsedTimer m_lastPoll; // the last receive poll, so that sends never starve it
    QTimer m_statusTimer; // gathers changes of the statistics line
    QString m_linkNotice; // the latest two stalls, losses or returns of the device
    PortNames m_portNames;
    QString m_openedRate; // the baud selector's text the open port runs at
    std::function<bool()> m_busBusy;
    // The automatic poll's quiet frames kept out of the receive view, and bytes
    // a receive poll that ran out of its time slice left for the next turn.
    QuietFilter m_quiet;
    QByteArray m_rxHeld;
    // The controls the command tables name, by object name (string literals).
    QHash<QByteArrayView, QWidget *> m_controls;
    QString m_listFolder; // of the last list file opened or saved
    std::optional<bool> m_shownMoving; // the motion state Label15 shows, once known
};
