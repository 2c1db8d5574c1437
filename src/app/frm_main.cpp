#include "frm_main.h"

#include "ui_frm_main.h"

#include "dialogs.h"
#include "exchange_tab.h"
#include "listen_mode.h"
#include "page_tab.h"
#include "scan_tab.h"
#include "test_tab.h"
#include "window_state.h"

#include <QCoreApplication>
#include <QEvent>

FrmMain::FrmMain(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::FrmMain>())
    , m_dialogs(std::make_unique<Dialogs>())
    , m_context{new LinkSession(this), m_dialogs.get(), {}, {}, {}, {}}
    , m_tool(new ToolTab(m_context, nullptr)) // placed among the tabs by composeTabs()
    , AddToListRequest(m_tool->AddToListRequest)
    , AddToIoBoxRequest(m_tool->AddToIoBoxRequest)
    , SequencerLine(m_tool->SequencerLine)
{
    ui->setupUi(this);
    m_context.send = [this](const QByteArray &frame, bool quiet) {
        return m_tool->SendFrame(frame, quiet);
    };
    m_context.mode = [this] {
        return m_tool->mode();
    };
    m_context.station = [this] {
        return m_tool->stationAddress();
    };
    m_context.parameters = [this] {
        return m_tool->boxParameters();
    };
    // A device found again by its path alone must answer at the station in the box.
    m_context.session->setStationCheck([this] { return m_tool->stationInBox(); });
    composeTabs();
    connectTabs();
    // A window made while English is in force (a second one, a test) speaks it too.
    if (installedLanguage() == Language::English)
        setLanguage(Language::English);
}

FrmMain::~FrmMain()
{
    if (m_keepSettings)
        saveSettings();
    // The tabs go before the link and the context, which they use to the end.
    delete ui->SSTab1;
}

void FrmMain::composeTabs()
{
    // Made without a parent, as Designer makes tab pages: until a page is first
    // shown it keeps the size of a window of its own, which its layout fills.
    m_exchangeTab = new ExchangeTab(m_context, nullptr);
    m_motionTab = new MotionTab(m_context, nullptr);
    m_scanTab = new ScanTab(m_context, nullptr);
    m_testTab = new TestTab(m_context, nullptr);
    const auto page = [](PageTab::Page which) {
        return new PageTab(which, nullptr);
    };
    // The five tabs the tool has always had, in their order; the newer ones follow.
    const std::pair<QWidget *, const char *> tabs[] = {
            {page(PageTab::Page::Product), QT_TR_NOOP("StepperBench")},
            {page(PageTab::Page::Simulator), QT_TR_NOOP("模拟控制器")},
            {m_tool, QT_TR_NOOP("调试")},
            {page(PageTab::Page::HelpIo), QT_TR_NOOP("高级功能帮助")},
            {page(PageTab::Page::HelpProtocol), QT_TR_NOOP("通讯协议")},
            {m_exchangeTab, QT_TR_NOOP("通讯记录")},
            {m_motionTab, QT_TR_NOOP("运动曲线")},
            {m_scanTab, QT_TR_NOOP("设备扫描")},
            {m_testTab, QT_TR_NOOP("测试")},
    };
    for (const auto &[tab, title] : tabs) {
        ui->SSTab1->addTab(tab, tr(title));
        m_tabTitles.append(title);
    }
    ui->SSTab1->setCurrentWidget(m_tool);
}

// What one tab causes in another goes through here.
void FrmMain::connectTabs()
{
    connect(m_tool, &ToolTab::blockShown, this, &FrmMain::blockShown);
    connect(m_tool, &ToolTab::frameShown, this, &FrmMain::frameShown);
    connect(m_tool, &ToolTab::languageChosen, this, &FrmMain::setLanguage);
    // A port closed or reopened: what waited for a reply will never get one.
    connect(m_context.session, &LinkSession::restarted, m_scanTab, &ScanTab::stopBusWork);
    // "使用": the station found and its rate go to the port settings.
    connect(m_scanTab, &ScanTab::stationChosen, m_tool, &ToolTab::useStation);
    m_tool->setBusBusy([scan = m_scanTab] { return scan->busy(); });
    connect(m_exchangeTab, &ExchangeTab::autoReconnectChanged, m_context.session,
            &LinkSession::setAutoReconnect);
    m_context.session->setAutoReconnect(m_exchangeTab->autoReconnect());
    // Listening only: what would send stops and is disabled before the session
    // refuses to send.
    connect(m_exchangeTab, &ExchangeTab::listeningChanged, this, [this](bool on) {
        if (on) {
            // A scan, a set transfer and a plan's run send: they end first.
            m_scanTab->stopBusWork();
            m_testTab->stopRun(QStringLiteral("listening only was switched on"));
        }
        holdSending(this, on);
        m_context.session->setListening(on);
        m_tool->refreshModeControls();
    });
}

void FrmMain::setDialogs(std::unique_ptr<Dialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
    m_context.dialogs = m_dialogs.get();
}

// --- Language -----------------------------------------------------------------

void FrmMain::setLanguage(Language language)
{
    m_tool->showLanguage(language); // a switch made from code (settings, tests)
    installLanguage(language);
    // Qt posts the change to every window, and each tab retranslates itself when it
    // arrives; delivered now, so that the new texts are there when this returns.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

void FrmMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void FrmMain::retranslate()
{
    ui->retranslateUi(this);
    for (int i = 0; i < m_tabTitles.size(); ++i)
        ui->SSTab1->setTabText(i, tr(m_tabTitles.at(i)));
}

// --- Settings -----------------------------------------------------------------

void FrmMain::resetSettings()
{
    forgetKeptSettings();
}

bool FrmMain::restoreSettings()
{
    m_keepSettings = true;
    const KeptSettings kept = restoreKeptSettings(*this);
    m_tool->setListFolder(kept.listFolder);
    return restoreGeometry(kept.geometry);
}

void FrmMain::saveSettings()
{
    keepSettings(*this, m_tool->listFolder());
}

void FrmMain::fitToScreen()
{
    ::fitToScreen(*this);
}
