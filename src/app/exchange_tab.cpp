#include "exchange_tab.h"

#include "ui_exchange_tab.h"

#include "dialogs.h"
#include "exchange/capture_writer.h"
#include "exchange/exchange_log_model.h"
#include "exchange/exchange_monitor.h"
#include "exchange/exchange_pairing.h"
#include "session/link_session.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyle>

#include <algorithm>

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
    QTableView *log = ui->exchangeLog;
    log->setModel(m_exchangeFilter);
    log->verticalHeader()->setDefaultSectionSize(log->fontMetrics().height() + 4);
    // Frames are read whole: no cell is elided, each column is as wide as the widest text
    // it has held, and a long row scrolls sideways instead of squeezing the others.
    log->setTextElideMode(Qt::ElideNone);
    log->setWordWrap(false);
    log->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    log->horizontalHeader()->setStretchLastSection(false);
    log->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_columnWidths.fill(0, ExchangeLogModel::ColumnCount);
    fitColumns();
    connect(m_exchangeLog, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { widenColumns(first, last); });
    connect(m_exchangeLog, &QAbstractItemModel::modelReset, this, [this] {
        m_columnWidths.fill(0);
        fitColumns();
    });
    // Like a terminal, the log follows the newest row while it is scrolled to the bottom;
    // scrolled back, it stays where the reader put it until scrolled down again.
    connect(log->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, log](int value) {
        m_followNewest = value == log->verticalScrollBar()->maximum();
    });
    connect(m_exchangeFilter, &QAbstractItemModel::rowsInserted, this, [this, log] {
        if (m_followNewest)
            log->scrollToBottom();
    });
    // Ctrl+C (and "复制" in the context menu) copies whole rows; the table alone would copy
    // the current cell.
    m_copy = new QAction(this);
    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setShortcutContext(Qt::WidgetShortcut);
    connect(m_copy, &QAction::triggered, this, &ExchangeTab::copySelectedRows);
    log->addAction(m_copy);
    log->setContextMenuPolicy(Qt::ActionsContextMenu);
    log->installEventFilter(this);
    retranslateLog();
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

void ExchangeTab::widenColumns(int first, int last)
{
    // Each row is measured once, as it comes: the log holds up to 100000 of them.
    const QFontMetrics metrics = ui->exchangeLog->fontMetrics();
    bool wider = false;
    for (int row = first; row <= last; ++row) {
        for (int column = 0; column < ExchangeLogModel::ColumnCount; ++column) {
            const QString text = m_exchangeLog->index(row, column).data().toString();
            const int width = metrics.horizontalAdvance(text);
            if (width > m_columnWidths[column]) {
                m_columnWidths[column] = width;
                wider = true;
            }
        }
    }
    if (wider)
        fitColumns();
}

void ExchangeTab::fitColumns()
{
    // The item's text margins on each side and the grid line, as the table lays out a cell.
    QTableView *log = ui->exchangeLog;
    const int margins
            = 2 * (log->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, log) + 1) + 1;
    QHeaderView *header = log->horizontalHeader();
    for (int column = 0; column < ExchangeLogModel::ColumnCount; ++column) {
        const int width = m_columnWidths[column] > 0 ? m_columnWidths[column] + margins : 0;
        header->resizeSection(column, std::max(header->sectionSizeHint(column), width));
    }
}

void ExchangeTab::copySelectedRows()
{
    // The rows as they are shown: one line each, the columns separated by tabs, no header.
    QModelIndexList rows = ui->exchangeLog->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    QString text;
    for (const QModelIndex &row : std::as_const(rows)) {
        QStringList cells;
        for (int column = 0; column < m_exchangeFilter->columnCount(); ++column)
            cells << row.siblingAtColumn(column).data().toString();
        text += cells.join(u'\t') + u'\n';
    }
    QGuiApplication::clipboard()->setText(text);
}

void ExchangeTab::retranslateLog()
{
    m_copy->setText(tr("复制"));
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
    // Direction control is taken at once on an open port, else at the next opening; a
    // port that cannot do it says why, and the box is cleared.
    connect(ui->rs485Rts, &QCheckBox::toggled, this, [this](bool on) {
        if (const Status set = m_context.session->link().setDirectionControl(on); !set) {
            const QSignalBlocker block(ui->rs485Rts);
            ui->rs485Rts->setChecked(false);
            m_context.dialogs->message(this, set.error());
        }
    });
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

bool ExchangeTab::eventFilter(QObject *watched, QEvent *event)
{
    // The key reaches the table before any shortcut does: take it there.
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (watched == ui->exchangeLog && key
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
            copySelectedRows();
        return true;
    }
    return QWidget::eventFilter(watched, event);
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
        fitColumns();
        retranslateLog();
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
