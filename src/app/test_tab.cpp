#include "test_tab.h"

#include "ui_test_tab.h"

#include "dialogs.h"
#include "plan_steps_model.h"

#include "exchange/exchange_monitor.h"
#include "session/link_session.h"
#include "testplan/plan_report.h"
#include "testplan/plan_runner.h"

#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>

namespace {

// As the selector "选择通讯模式" names the modes.
QString modeName(CommMode mode)
{
    return mode == CommMode::Ascii ? QStringLiteral("Modbus ASC") : QStringLiteral("Modbus RTU");
}

} // namespace

TestTab::TestTab(const TabContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , ui(std::make_unique<Ui::TestTab>())
    , m_runner(new PlanRunner(
              [this](const QByteArray &frame) { return m_context.send(frame, false); }, this))
    , m_steps(new PlanStepsModel(this))
{
    ui->setupUi(this);
    ui->testSteps->setModel(m_steps);
    ui->testSteps->horizontalHeader()->setStretchLastSection(true);
    ui->testSteps->verticalHeader()->setDefaultSectionSize(ui->testSteps->fontMetrics().height()
                                                           + 4);
    ui->testStop->setEnabled(false);
    ui->testSave->setEnabled(false);
    connect(ui->testOpen, &QPushButton::clicked, this, &TestTab::openPlan);
    connect(ui->testRun, &QPushButton::clicked, this, &TestTab::startRun);
    connect(ui->testStop, &QPushButton::clicked, this,
            [this] { stopRun(QStringLiteral("stopped by the user")); });
    connect(ui->testSave, &QPushButton::clicked, this, &TestTab::saveReport);
    connect(m_runner, &PlanRunner::stepStarted, this, &TestTab::stepStarted);
    connect(m_runner, &PlanRunner::stepDone, this,
            [this](int index) { m_steps->setStep(index, m_runner->result().steps.value(index)); });
    connect(m_runner, &PlanRunner::finished, this, &TestTab::runFinished);
    m_runner->follow(*m_context.session);
}

TestTab::~TestTab() = default;

bool TestTab::isRunning() const
{
    return m_runner->isRunning();
}

void TestTab::stopRun(const QString &reason)
{
    m_runner->stop(reason);
}

void TestTab::openPlan()
{
    const QString path = m_context.dialogs->openFileName(this, tr("打开测试计划"),
                                                         tr("测试计划(*.toml);;所有文件(*)"));
    if (path.isEmpty())
        return;
    Result<TestPlan> plan = readTestPlan(path);
    if (!plan) {
        showMessage(plan.error()); // the plan open before stays
        return;
    }
    m_plan = std::move(*plan);
    showPlan();
}

void TestTab::startRun()
{
    if (isRunning())
        return;
    if (!m_plan) {
        showMessage(tr("请先打开一个测试计划"));
        return;
    }
    if (!m_context.session->isOpen()) {
        showMessage(tr("请先打开串口"));
        return;
    }
    if (!planFitsLine())
        return;
    const std::optional<quint8> station = m_context.station(); // a bad box says so itself
    if (!station)
        return;
    // The plan's reply time-out for its run; the window's own comes back after it.
    ExchangeMonitor &exchanges = m_context.session->exchanges();
    m_keptReplyTimeoutUs = exchanges.replyTimeoutUs();
    m_planReplyTimeoutUs = qint64(m_plan->replyTimeoutMs) * 1000;
    exchanges.setReplyTimeoutUs(m_planReplyTimeoutUs);
    m_lastRun.reset();
    ui->testRun->setEnabled(false);
    ui->testStop->setEnabled(true);
    ui->testSave->setEnabled(false);
    showVerdict(Shown::Running);
    // A run that cannot send its first request is over before start() returns.
    m_runner->start(*m_plan, *station, m_context.session->portLabel());
}

// The plan is written for one framing and one rate: the window must be on both.
bool TestTab::planFitsLine()
{
    const CommMode mode = m_context.mode();
    if (m_plan->mode != mode) {
        showMessage(tr("计划“%1”用 %2 模式，“选择通讯模式”现在是 %3：请把它改为 %2")
                            .arg(m_plan->name, modeName(m_plan->mode), modeName(mode)));
        return false;
    }
    const qint32 rate = m_context.session->link().settings().baudRate;
    if (m_plan->baudRate != rate) {
        showMessage(tr("计划“%1”的波特率是 %2，串口以 %3 打开：请关闭串口，把波特率改为 %2 "
                       "后重新打开")
                            .arg(m_plan->name)
                            .arg(m_plan->baudRate)
                            .arg(rate));
        return false;
    }
    return true;
}

void TestTab::stepStarted(int index)
{
    if (index == 0) {
        m_steps->start(m_runner->steps());
        ui->testSteps->resizeColumnsToContents(); // the header samples the first rows only
    }
    ui->testSteps->selectRow(index);
    ui->testSteps->scrollTo(m_steps->index(index, 0));
}

void TestTab::runFinished()
{
    m_lastRun = m_runner->result();
    m_steps->finish(*m_lastRun);
    ui->testSteps->clearSelection(); // the colours of the last step show
    ui->testSteps->resizeColumnsToContents();
    // Back to the window's time-out, unless it was changed during the run.
    ExchangeMonitor &exchanges = m_context.session->exchanges();
    if (exchanges.replyTimeoutUs() == m_planReplyTimeoutUs)
        exchanges.setReplyTimeoutUs(m_keptReplyTimeoutUs);
    ui->testRun->setEnabled(true);
    ui->testStop->setEnabled(false);
    ui->testSave->setEnabled(true);
    showVerdict(Shown::Verdict);
}

void TestTab::saveReport()
{
    if (!m_lastRun)
        return;
    const QString path = m_context.dialogs->saveFileName(
            this, tr("保存测试报告"),
            QStringLiteral("JUnit (*.xml);;JSON (*.json);;HTML (*.html)"));
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)
        && !m_context.dialogs->question(this, tr("保存测试报告"),
                                        tr("%1 已存在，是否覆盖？").arg(path)))
        return;
    if (const Status written = writeReport(path, {*m_lastRun}); !written)
        showMessage(written.error());
}

void TestTab::showPlan()
{
    ui->testPlanName->setText(m_plan ? tr("计划：%1（%2）").arg(m_plan->name, m_plan->path)
                                     : tr("没有打开计划"));
}

void TestTab::showVerdict(Shown shown)
{
    m_shown = shown;
    QLabel *label = ui->testVerdict;
    if (shown != Shown::Verdict || !m_lastRun) {
        label->setText(shown == Shown::Running ? tr("运行中…") : QString());
        label->setAutoFillBackground(false);
        label->setPalette(QPalette()); // the window's again
        return;
    }
    const Outcome outcome = m_lastRun->outcome;
    switch (outcome) {
    case Outcome::Pass:
    case Outcome::Skipped:
        label->setText(tr("通过"));
        break;
    case Outcome::Marginal:
        label->setText(tr("通过（临界）"));
        break;
    case Outcome::Fail:
        label->setText(tr("不通过"));
        break;
    case Outcome::Error:
        label->setText(tr("出错"));
        break;
    }
    // Black or white on the verdict's own colour reads on any palette.
    const QColor colour = outcomeColour(outcome == Outcome::Skipped ? Outcome::Pass : outcome);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, textColourOn(colour));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
}

void TestTab::showMessage(const QString &text)
{
    m_context.dialogs->message(this, text);
}

void TestTab::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        showPlan();
        showVerdict(m_shown);
        m_steps->retranslate();
    }
    QWidget::changeEvent(event);
}
