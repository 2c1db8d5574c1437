#include "exchange_tab.h"

#include "ui_exchange_tab.h"

#include "dialogs.h"
#include "exchange/capture_writer.h"
#include "exchange/exchange_log_model.h"
#include "exchange/exchange_monitor.h"
#include "exchange/exchange_pairing.h"
#include "session/link_session.h"

#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QSortFilterProxyModel>

ExchangeTab::ExchangeTab(const TabContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , ui(std::make_unique<Ui::ExchangeTab>())
    , m_exchangeLog(new ExchangeLogModel(100'000, this))
    , m_exchangeFilter(new QSortFilterProxyModel(this))
{
    ui->setupUi(this);
    connectLog();
    connectOptions();
    connectCapture();
}

ExchangeTab::~ExchangeTab() = default;

bool ExchangeTab::autoReconnect() const
{
    return ui->autoReconnect->isChecked();
}

void ExchangeTab::connectLog()
{
    m_exchangeFilter->setSourceModel(m_exchangeLog);
    m_exchangeFilter->setFilterRole(ExchangeLogModel::VerdictRole);
    m_exchangeFilter->setFilterKeyColumn(ExchangeLogModel::Result);
    ui->exchangeLog->setModel(m_exchangeFilter);
    ui->exchangeLog->verticalHeader()->setDefaultSectionSize(ui->exchangeLog->fontMetrics().height()
                                                             + 4);
    ui->exchangeLog->horizontalHeader()->setStretchLastSection(true);
    connect(&m_context.session->exchanges(), &ExchangeMonitor::exchangeSettled, this,
            [this](const Exchange &e) {
                m_exchangeLog->append(e, QDateTime::currentMSecsSinceEpoch());
            });

    fillExchangeFilter();
    connect(ui->exchangeFilter, &QComboBox::currentIndexChanged, this, [this] {
        const int verdict = ui->exchangeFilter->currentData().toInt();
        m_exchangeFilter->setFilterRegularExpression(
                verdict < 0 ? QString() : QStringLiteral("^%1$").arg(verdict));
    });
}

void ExchangeTab::connectOptions()
{
    ExchangeMonitor *exchanges = &m_context.session->exchanges();
    connect(ui->replyTimeout, &QSpinBox::valueChanged, this,
            [exchanges](int ms) { exchanges->setReplyTimeoutUs(qint64(ms) * 1000); });
    connect(ui->byteTimeout, &QSpinBox::valueChanged, this,
            [exchanges](int ms) { exchanges->setByteTimeoutUs(qint64(ms) * 1000); });
    connect(ui->echoSuppression, &QCheckBox::toggled, exchanges,
            &ExchangeMonitor::setEchoSuppression);
    exchanges->setReplyTimeoutUs(qint64(ui->replyTimeout->value()) * 1000);
    exchanges->setByteTimeoutUs(qint64(ui->byteTimeout->value()) * 1000);
    exchanges->setEchoSuppression(ui->echoSuppression->isChecked());
    connect(ui->autoReconnect, &QCheckBox::toggled, this, &ExchangeTab::autoReconnectChanged);
    connect(ui->monitorMode, &QCheckBox::toggled, this, &ExchangeTab::listeningChanged);
}

void ExchangeTab::connectCapture()
{
    connect(ui->captureButton, &QPushButton::clicked, this, &ExchangeTab::toggleCapture);
    connect(&m_context.session->capture(), &CaptureWriter::failed, this, [this](const QString &message) {
        ui->captureButton->setText(tr("开始捕获…"));
        showMessage(message);
    });
}

void ExchangeTab::toggleCapture()
{
    LinkSession *session = m_context.session;
    if (session->capture().isActive()) {
        session->stopCapture();
        ui->captureButton->setText(tr("开始捕获…"));
        return;
    }
    const QString path = m_context.dialogs->saveFileName(
            this, tr("捕获到文件"), tr("文本记录(*.log *.txt);;CSV 表格(*.csv);;所有文件(*)"));
    if (path.isEmpty())
        return;
    session->setMode(m_context.mode());
    if (const Status started = session->startCapture(path); !started) {
        showMessage(started.error());
        return;
    }
    ui->captureButton->setText(tr("停止捕获"));
}

void ExchangeTab::showMessage(const QString &text)
{
    m_context.dialogs->message(this, text);
}

void ExchangeTab::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        ui->captureButton->setText(m_context.session->capture().isActive() ? tr("停止捕获")
                                                                 : tr("开始捕获…"));
        fillExchangeFilter();
        // The log's cells are not announced: a change to every row would have the
        // filter look at each of its 100000 rows again. The headers are, so that
        // their widths follow the new texts.
        emit m_exchangeLog->headerDataChanged(Qt::Horizontal, 0, m_exchangeLog->columnCount() - 1);
    }
    QWidget::changeEvent(event);
}

void ExchangeTab::fillExchangeFilter()
{
    const QSignalBlocker block(ui->exchangeFilter);
    const int chosen = qMax(ui->exchangeFilter->currentIndex(), 0);
    ui->exchangeFilter->clear();
    ui->exchangeFilter->addItem(tr("全部"), -1);
    for (const Verdict verdict : {Verdict::Good, Verdict::BadCheck, Verdict::Exception,
                                  Verdict::Timeout, Verdict::Unexpected, Verdict::NoReply}) {
        ui->exchangeFilter->addItem(
                verdict == Verdict::Exception ? tr("异常") : verdictText(verdict), int(verdict));
    }
    ui->exchangeFilter->setCurrentIndex(chosen);
}
