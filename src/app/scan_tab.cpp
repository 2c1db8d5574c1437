#include "scan_tab.h"

#include "ui_scan_tab.h"

#include "dialogs.h"

#include "bus/bus_scan.h"
#include "bus/config_file.h"
#include "bus/config_transfer.h"
#include "bus/scan_result_model.h"
#include "colour_contrast.h"
#include "device/command_set.h"
#include "device/leading_number.h"
#include "session/link_session.h"

#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QStandardItemModel>

namespace {

// Rows that differ: the view's base colour tinted red, with the palette's text on it,
// so that they read as well on a dark palette as on a light one. The two go together:
// after a change of theme the rows shown stay readable until the next read or write.
void markDiffering(QStandardItem *item, const QPalette &palette)
{
    const QColor base = palette.color(QPalette::Base);
    constexpr float tint = 0.2f;
    item->setBackground(QColor::fromRgbF(base.redF() * (1 - tint) + tint,
                                         base.greenF() * (1 - tint), base.blueF() * (1 - tint)));
    item->setForeground(palette.color(QPalette::Text));
}

} // namespace

ScanTab::ScanTab(const TabContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , ui(std::make_unique<Ui::ScanTab>())
{
    ui->setupUi(this);
    const auto send = [this](const QByteArray &frame) {
        return m_context.send(frame, false);
    };
    m_scanner = new BusScanner(
            send, [this](qint32 rate) { return m_context.session->setBaudRate(rate).ok(); }, this);
    m_transfer = new ConfigTransfer(send, this);
    m_scanResults = new ScanResultModel(this);
    m_configDiff = new QStandardItemModel(0, 5, this);
    setUpViews();
    connectScan();
    connectConfig();
}

ScanTab::~ScanTab() = default;

void ScanTab::setUpViews()
{
    setConfigDiffHeaders();
    ui->scanResults->setModel(m_scanResults);
    ui->configDiff->setModel(m_configDiff);
    for (QTableView *table : {ui->scanResults, ui->configDiff}) {
        table->horizontalHeader()->setStretchLastSection(true);
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    }
    for (const BaudRate &rate : baudRates()) {
        auto *item = new QListWidgetItem(QString::number(rate.rate), ui->scanBauds);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    ui->scanCancel->setEnabled(false);
    // The progress text over the bar's filled part: the palette's highlighted text is
    // often white, which a light highlight (Fusion's blue) leaves hard to read.
    const QColor highlight = palette().color(QPalette::Highlight);
    QPalette bar; // the one role set here; the others follow the window
    bar.setColor(QPalette::HighlightedText,
                 contrastRatio(Qt::black, highlight) >= contrastRatio(Qt::white, highlight)
                         ? QColor(Qt::black)
                         : QColor(Qt::white));
    ui->scanProgress->setPalette(bar);
}

void ScanTab::connectScan()
{
    m_context.session->listen(*m_scanner);
    connect(m_scanner, &BusScanner::found, m_scanResults, &ScanResultModel::append);
    connect(m_scanner, &BusScanner::progress, this, &ScanTab::showScanProgress);
    connect(m_scanner, &BusScanner::finished, this, &ScanTab::scanFinished);
    connect(ui->scanStart, &QPushButton::clicked, this, &ScanTab::startScan);
    connect(ui->scanCancel, &QPushButton::clicked, m_scanner, &BusScanner::cancel);
    connect(ui->scanUse, &QPushButton::clicked, this, &ScanTab::useSelectedResult);
    connect(ui->scanResults, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { useScanResult(index.row()); });
}

void ScanTab::showScanProgress()
{
    ui->scanProgress->setMaximum(std::max(m_scanner->total(), 1));
    ui->scanProgress->setValue(m_scanner->done());
    ui->scanProgress->setFormat(
            tr("%p%，还需 %1 s").arg(double(m_scanner->remainingMs()) / 1000, 0, 'f', 1));
}

void ScanTab::scanFinished(bool cancelled, const QString &error)
{
    ui->scanStart->setEnabled(true);
    ui->scanCancel->setEnabled(false);
    ui->scanProgress->setFormat(cancelled ? tr("已取消，找到 %1 个").arg(m_scanResults->rowCount())
                                          : tr("完成，找到 %1 个").arg(m_scanResults->rowCount()));
    if (!error.isEmpty())
        showMessage(error);
}

void ScanTab::connectConfig()
{
    m_context.session->listen(*m_transfer);
    connect(ui->configRead, &QPushButton::clicked, this, &ScanTab::readConfig);
    connect(ui->configWrite, &QPushButton::clicked, this, &ScanTab::writeConfig);
    connect(ui->configOpen, &QPushButton::clicked, this, &ScanTab::openConfigSet);
    connect(ui->configSave, &QPushButton::clicked, this, &ScanTab::saveConfigSet);
    connect(m_transfer, &ConfigTransfer::stationDone, this, &ScanTab::showConfigOutcome);
    connect(m_transfer, &ConfigTransfer::finished, this, &ScanTab::configFinished);
}

void ScanTab::readConfig()
{
    const std::optional<quint8> station = m_context.station();
    if (!station || !busReady())
        return;
    m_configWriting = false;
    m_configDiff->removeRows(0, m_configDiff->rowCount());
    ui->configStatus->setText(tr("正在读取站 %1…").arg(stationText(*station)));
    m_transfer->read(*station, m_context.mode());
}

void ScanTab::writeConfig()
{
    if (m_configSet.isEmpty()) {
        showMessage(tr("没有可写入的配置：请先读取，或打开一个配置文件"));
        return;
    }
    QList<quint8> stations = m_scanResults->checkedStations();
    if (stations.isEmpty()) {
        const std::optional<quint8> station = m_context.station();
        if (!station)
            return;
        stations = {*station};
    }
    if (!busReady())
        return;
    m_configWriting = true;
    m_configSummary.clear();
    m_configDiff->removeRows(0, m_configDiff->rowCount());
    ui->configStatus->setText(tr("正在写入 %1 个站…").arg(stations.size()));
    m_transfer->write(m_configSet, stations, m_context.mode());
}

void ScanTab::configFinished(const QString &error)
{
    if (!error.isEmpty()) {
        ui->configStatus->setText(error);
        showMessage(error);
    } else if (m_configWriting) {
        ui->configStatus->setText(m_configSummary.join(tr("；")));
    }
}

bool ScanTab::busReady()
{
    if (!m_context.session->isOpen()) {
        showMessage(tr("请先打开串口"));
        return false;
    }
    if (m_scanner->isRunning() || m_transfer->isRunning()) {
        showMessage(tr("扫描或配置传送正在进行，请等它结束"));
        return false;
    }
    return true;
}

// The port closes or reopens: what waited for a reply will never get one.
bool ScanTab::busy() const
{
    return m_scanner->isRunning() || m_transfer->isRunning();
}

void ScanTab::stopBusWork()
{
    m_scanner->cancel();
    m_transfer->cancel();
}

void ScanTab::startScan()
{
    const auto address = [this](QLineEdit *box) {
        const std::optional<qint64> value = readField(box->text(), NumberBase::Hexadecimal,
                                                      FieldRange{1, 255});
        if (!value)
            showMessage(tr("扫描地址应为十六进制 01 到 FF：%1").arg(box->text()));
        return value;
    };
    const std::optional<qint64> from = address(ui->scanFrom);
    const std::optional<qint64> to = from ? address(ui->scanTo) : std::nullopt;
    if (!from || !to)
        return;
    if (*from > *to) {
        showMessage(tr("扫描的起始地址 %1 大于结束地址 %2")
                            .arg(ui->scanFrom->text(), ui->scanTo->text()));
        return;
    }
    BusScanner::Settings settings;
    settings.from = quint8(*from);
    settings.to = quint8(*to);
    for (int i = 0; i < ui->scanBauds->count(); ++i) {
        if (ui->scanBauds->item(i)->checkState() == Qt::Checked)
            settings.rates.append(ui->scanBauds->item(i)->text().toInt());
    }
    if (settings.rates.isEmpty()) {
        showMessage(tr("请至少勾选一个波特率"));
        return;
    }
    if (!busReady())
        return;
    // A raw network socket runs at its gateway's rate: one rate is scanned as it is.
    m_context.session->fitScan(settings);
    if (!settings.setsRate && settings.rates.size() > 1) {
        showMessage(tr("%1 是原始 TCP 连接，线路速率由网关设定，扫描不能逐个试波特率："
                       "只勾选网关的波特率，或改用 rfc2217://")
                            .arg(m_context.session->link().devicePath()));
        return;
    }
    settings.mode = m_context.mode();
    settings.marginMs = ui->scanTimeout->value();
    settings.retries = ui->scanRetries->value();
    m_scanResults->clear();
    ui->scanStart->setEnabled(false);
    ui->scanCancel->setEnabled(true);
    m_scanner->start(settings, m_context.session->link().settings().baudRate);
}

void ScanTab::useSelectedResult()
{
    const QModelIndexList rows = ui->scanResults->selectionModel()->selectedRows();
    if (rows.isEmpty() && m_scanResults->rowCount() != 1) {
        showMessage(tr("请先在扫描结果中选一行"));
        return;
    }
    useScanResult(rows.isEmpty() ? 0 : rows.first().row());
}

void ScanTab::useScanResult(int row)
{
    if (row < 0 || row >= m_scanResults->rowCount())
        return;
    const BusScanner::Hit hit = m_scanResults->hit(row);
    stopBusWork(); // the line back at its rate before the station's is taken
    emit stationChosen(hit.address, hit.rate);
}

void ScanTab::showConfigOutcome(const ConfigTransfer::Outcome &outcome)
{
    const QString station = stationText(outcome.station);
    const auto addRow = [this, &station](const QStringList &cells, bool differs) {
        QList<QStandardItem *> items;
        items.append(new QStandardItem(station));
        for (const QString &cell : cells)
            items.append(new QStandardItem(cell));
        if (differs) {
            for (QStandardItem *item : items)
                markDiffering(item, ui->configDiff->palette());
        }
        m_configDiff->appendRow(items);
    };
    if (!outcome.answered) {
        addRow({tr("（整站）"), QString(), QString(), tr("没有应答")}, true);
        m_configSummary.append(tr("站 %1 没有应答").arg(station));
        if (!m_configWriting)
            ui->configStatus->setText(tr("站 %1 没有应答").arg(station));
        return;
    }
    if (!m_configWriting) {
        // A read: the set now is what the station holds.
        m_configSet = outcome.read;
        for (const ConfigRow &row : compareConfigSets(outcome.read, outcome.read))
            addRow({row.key, QString(), row.actual, QString()}, false);
        ui->configStatus->setText(
                tr("已读取站 %1（%2）")
                        .arg(station,
                             QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"))));
        return;
    }
    int differences = 0;
    for (const ConfigRow &row : compareConfigSets(m_configSet, outcome.read)) {
        addRow({row.key, row.expected, row.actual, row.differs ? tr("不同") : tr("一致")},
               row.differs);
        differences += row.differs;
    }
    m_configSummary.append(differences == 0
                                   ? tr("站 %1 全部一致").arg(station)
                                   : tr("站 %1 有 %2 项不同").arg(station).arg(differences));
}

void ScanTab::openConfigSet()
{
    const QString path = m_context.dialogs->openFileName(this, tr("打开配置"),
                                                         tr("配置文件(*.conf *.txt);;所有文件(*)"));
    if (path.isEmpty())
        return;
    const Result<ConfigSet> set = readConfigFile(path);
    if (!set) {
        showMessage(set.error());
        return;
    }
    m_configSet = *set;
    m_configDiff->removeRows(0, m_configDiff->rowCount());
    for (const ConfigRow &row : compareConfigSets(m_configSet, ConfigSet{})) {
        m_configDiff->appendRow({new QStandardItem(QString()), new QStandardItem(row.key),
                                 new QStandardItem(row.expected)});
    }
    ui->configStatus->setText(tr("已打开 %1").arg(path));
}

void ScanTab::saveConfigSet()
{
    if (m_configSet.isEmpty()) {
        showMessage(tr("没有可保存的配置：请先读取一个站"));
        return;
    }
    const QString path = m_context.dialogs->saveFileName(this, tr("保存配置"),
                                                         tr("配置文件(*.conf);;所有文件(*)"));
    if (path.isEmpty())
        return;
    const Status saved = writeConfigFile(
            path, m_configSet,
            {tr("StepperBench 配置"),
             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    if (!saved) {
        showMessage(saved.error());
        return;
    }
    ui->configStatus->setText(tr("已保存到 %1").arg(path));
}

void ScanTab::showMessage(const QString &text)
{
    m_context.dialogs->message(this, text);
}

void ScanTab::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this); // the configuration's status is the code's and stays
        setConfigDiffHeaders();
        emit m_scanResults->headerDataChanged(Qt::Horizontal, 0,
                                              m_scanResults->columnCount({}) - 1);
    }
    QWidget::changeEvent(event);
}

void ScanTab::setConfigDiffHeaders()
{
    m_configDiff->setHorizontalHeaderLabels(
            {tr("站号"), tr("项目"), tr("文件"), tr("控制器"), tr("结果")});
}
