#pragma once

#include "exchange_pairing.h"

#include <QAbstractTableModel>
#include <QList>
#include <QtGlobal>

// The exchange log: one row per exchange, newest last, for a table view. Holds
// at most a fixed number of rows: past it, the oldest go in blocks, so memory
// stays bounded however long the bench runs. Each cell's text is made when the
// view asks for it.
class ExchangeLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Station, Code, Description, Request, Reply, Result, ResponseTime, ColumnCount };
    /// The role that gives a row's Verdict as an int, for filtering.
    static constexpr int VerdictRole = Qt::UserRole;

    explicit ExchangeLogModel(qsizetype capacity = 100'000, QObject *parent = nullptr);

    /// Adds \a exchange, settled at \a wallMs (milliseconds since the epoch).
    void append(const Exchange &exchange, qint64 wallMs);
    void clear();
    qsizetype capacity() const { return m_capacity; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        Exchange exchange;
        qint64 wallMs;
    };
    QString text(const Row &row, int column) const;

    qsizetype m_capacity;
    QList<Row> m_rows;
};
