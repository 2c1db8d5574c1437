#pragma once

#include "bus/config_set.h"
#include "bus/config_transfer.h"
#include "tab_context.h"

#include <QWidget>

#include <memory>

class BusScanner;
class QStandardItemModel;
class ScanResultModel;

namespace Ui {
class ScanTab;
}

// The tab "设备扫描": the scan for controllers on the bus, and configuration
// sets read from stations, kept in files and written to stations. Everything
// goes out through the send path.
class ScanTab : public QWidget
{
    Q_OBJECT

public:
    ScanTab(const TabContext &context, QWidget *parent);
    ~ScanTab() override;

signals:
    /// "使用": the station at \a address answers at \a rate.
    void stationChosen(quint8 address, qint32 rate);

public:
    /// A scan or a configuration transfer runs: it sets the line's rate itself.
    bool busy() const;

public slots:
    /// The port closed or reopened: what waited for a reply will never get one.
    void stopBusWork();

protected:
    void changeEvent(QEvent *event) override;

private:
    void setUpViews();
    void connectScan();
    void connectConfig();
    void readConfig();
    void writeConfig();
    void configFinished(const QString &error);
    bool busReady();
    void startScan();
    void showScanProgress();
    void scanFinished(bool cancelled, const QString &error);
    void useSelectedResult();
    void useScanResult(int row);
    void showConfigOutcome(const ConfigTransfer::Outcome &outcome);
    void openConfigSet();
    void saveConfigSet();
    void setConfigDiffHeaders();
    void showMessage(const QString &text);

    const TabContext &m_context;
    std::unique_ptr<Ui::ScanTab> ui;
    BusScanner *m_scanner;
    ConfigTransfer *m_transfer;
    ScanResultModel *m_scanResults;
    QStandardItemModel *m_configDiff;
    ConfigSet m_configSet; // read from a station or a file; what "写入" writes
    bool m_configWriting = false;
    QStringList m_configSummary; // a line per station written
};
