#pragma once

#include "language.h"
#include "session/link_session.h"
#include "motion_tab.h"
#include "tab_context.h"
#include "tool_tab.h"

#include <QList>
#include <QWidget>

#include <memory>

class Dialogs;
class ExchangeTab;
class ScanTab;
class TestTab;

namespace Ui {
class FrmMain;
}

// The main window. It composes the tabs, each a class and a form of its own,
// gives them the link and the send path, carries what one tab causes in another,
// switches the language and keeps the settings. The tool tab's routines are
// forwarded under the names the window is known by.
class FrmMain : public QWidget
{
    Q_OBJECT

public:
    explicit FrmMain(QWidget *parent = nullptr);
    ~FrmMain() override;

    /// Which device each of COM1 to COM9 stands for.
    PortNames &portNames() { return m_tool->portNames(); }
    /// Shows beside the port selector which device the chosen name stands for;
    /// call after changing the port names.
    void refreshPortDevice() { m_tool->showPortDevice(); }
    /// How long one receive poll may show blocks before it lets the event loop
    /// run; the rest follows at the next turn, so a flood never freezes the window.
    void setPollTimeSlice(int ms) { m_tool->setPollTimeSlice(ms); }
    /// Opens the chosen port, as "打开" does.
    void openPort() { m_tool->openPort(); }
    /// Forgets every kept setting (--reset-settings).
    static void resetSettings();
    /// Starts decoding the first view's decoration picture on a thread of its
    /// own, for the window built next to take instead of decoding it then.
    static void readPictureAhead() { ToolTab::readPictureAhead(); }
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
    ExchangeMonitor &exchanges() { return m_context.session->exchanges(); }
    /// The link, its exchange layer, capture and reconnect.
    LinkSession &session() { return *m_context.session; }
    /// The samples, predictions and figures the motion tab shows.
    const MotionTracker &motion() const { return m_motionTab->motion(); }
    MotionChart &motionChart() { return m_motionTab->motionChart(); }

signals:
    /// A block went through ShowReceived: \a count bytes were shown. The
    /// counters restart at the view limit; this lets a watcher count them all.
    void blockShown(qsizetype count);
    /// A frame went through SendFrame and was written and shown.
    void frameShown(qsizetype count);

public slots:
    /// The one send path (the tool tab's): writes the whole frame when the port
    /// is open and shows it in the send view (unless \a quiet). True when the
    /// frame was handed to the port.
    bool SendFrame(const QByteArray &frame, bool quiet = false)
    {
        return m_tool->SendFrame(frame, quiet);
    }
    /// Shows one received block in the receive view.
    void ShowReceived(const QByteArray &block, qsizetype count)
    {
        m_tool->ShowReceived(block, count);
    }
    /// The receive poll, every 200 ms once the port has been opened.
    void Timer1_Timer() { m_tool->Timer1_Timer(); }
    /// One step of the command-list run loop.
    void Timer2_Timer() { m_tool->Timer2_Timer(); }
    /// Replaces the command list with the lines of the file at \a path.
    void LoadListFile(const QString &path) { m_tool->LoadListFile(path); }

protected:
    void changeEvent(QEvent *event) override;

private:
    void composeTabs();
    void connectTabs();
    void retranslate();

    std::unique_ptr<Ui::FrmMain> ui;
    std::unique_ptr<Dialogs> m_dialogs;
    TabContext m_context;
    ToolTab *m_tool;
    ExchangeTab *m_exchangeTab = nullptr;
    MotionTab *m_motionTab = nullptr;
    ScanTab *m_scanTab = nullptr;
    TestTab *m_testTab = nullptr;
    QList<const char *> m_tabTitles; // untranslated, in the order of the tabs
    bool m_keepSettings = false; // restoreSettings() ran: save at the end

public:
    // The tool tab's state shared by the command handlers and the sequencer
    // (declared after the tab, which they refer to).
    bool &AddToListRequest;
    bool &AddToIoBoxRequest;
    qint16 &SequencerLine;
};
