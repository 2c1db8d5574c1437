#pragma once

#include "tab_context.h"

#include <QList>
#include <QWidget>

#include <memory>

class ExchangeLogModel;
class QAction;
class QSortFilterProxyModel;

namespace Ui {
class ExchangeTab;
}

// The tab "通讯记录": the exchanges listed and filtered by verdict, the options
// of the exchange layer (time-outs, echo suppression, reconnection) and the
// capture to a file.
class ExchangeTab : public QWidget
{
    Q_OBJECT

public:
    ExchangeTab(const TabContext &context, QWidget *parent);
    ~ExchangeTab() override;

    /// Whether "断线自动重连" is ticked.
    bool autoReconnect() const;

signals:
    /// "断线自动重连" was ticked or unticked.
    void autoReconnectChanged(bool on);
    /// "只监听" was ticked or unticked.
    void listeningChanged(bool on);

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectLog();
    void connectOptions();
    void connectCapture();
    void toggleCapture();
    void widenColumns(int first, int last);
    void fitColumns();
    void copySelectedRows();
    void retranslateLog();
    void fillExchangeFilter();
    void showMessage(const QString &text);

    const TabContext &m_context;
    std::unique_ptr<Ui::ExchangeTab> ui;
    ExchangeLogModel *m_exchangeLog;
    QSortFilterProxyModel *m_exchangeFilter;
    QAction *m_copy = nullptr;
    QList<int> m_columnWidths; // the widest text each column of the log has held, in pixels
    bool m_followNewest = true;
};
