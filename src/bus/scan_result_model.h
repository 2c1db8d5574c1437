#pragma once

#include "bus_scan.h"

#include <QAbstractTableModel>
#include <QList>

// The stations a bus scan found, one row each: address (with a tick that picks
// it for a configuration write), baud rate, verdict and response time.
class ScanResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Address, Rate, Answer, ResponseTime, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void append(const BusScanner::Hit &hit);
    void clear();
    const BusScanner::Hit &hit(int row) const { return m_rows[row].hit; }
    /// The ticked addresses, each once, in the order found.
    QList<quint8> checkedStations() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row
    {
        BusScanner::Hit hit;
        bool checked = true;
    };
    QList<Row> m_rows;
};
