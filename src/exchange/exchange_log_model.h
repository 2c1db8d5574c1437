#pragma once

#include "exchange_pairing.h"

#include <QAbstractTableModel>
#include <QList>
#include <QtGlobal>

/// What the log, the capture and the command line call an exchange's command:
/// named by \a code, with the byte after it in the request (or the reply when
/// there is none) telling 2B's meanings apart ("读保持寄存器:"). Frames as they
/// travelled, in either framing.
QString exchangeCommandText(QByteArrayView request, QByteArrayView reply, int code);
/// The values a standard MODBUS exchange carries ("1000 1001", "1 0 1"); the
/// reply counts only with a good check.
QString exchangeValuesText(QByteArrayView request, QByteArrayView reply);

// The exchange log: one row per exchange, newest last, for a table view. Holds
// at most a fixed number of rows: past it, the oldest go in blocks, so memory
// stays bounded however long the bench runs. Each cell's text is made when the
// view asks for it.
class ExchangeLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// Bytes of a request or a reply the log keeps; the capture keeps them all.
    static constexpr qsizetype maxBytesShown = 512;

    enum Column {
        Time,
        Station,
        Code,
        Description,
        Values,
        Request,
        Reply,
        Result,
        ResponseTime,
        Gap, // listening: the silence before the exchange's first frame
        ColumnCount
    };
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
    // Compact, for a log of 100,000 rows: the request and the reply share one
    // allocation, and only what the columns show is kept.
    struct Row
    {
        QByteArray bytes; // the request, then the reply, each cut at maxBytesShown
        qint64 wallMs;
        qint64 responseUs;
        qint64 gapUs;
        quint16 requestSize; // of the request in bytes
        bool requestCut, replyCut;
        Verdict verdict;
        qint16 station; // -1: none
        qint16 code; // -1: none
        quint8 exceptionCode;
    };
    QString text(const Row &row, int column) const;


    qsizetype m_capacity;
    QList<Row> m_rows;
};
