#include "exchange_log_model.h"

#include "device/command_set.h"
#include "exchange_stats.h"
#include "traffic/traffic_lines.h"

#include <QDateTime>

namespace {

QString hexText(QByteArrayView bytes, bool cut)
{
    const QString hex = QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
    return cut ? hex + QStringLiteral(" …") : hex;
}

// The same bytes in lines of 32, so that a tooltip of a long frame stays on the screen.
QString hexLines(QByteArrayView bytes, bool cut)
{
    QString text = hexText(bytes, cut);
    for (qsizetype at = 32 * 3 - 1; at < text.size(); at += 32 * 3)
        text[at] = u'\n';
    return text;
}

} // namespace

QString exchangeCommandText(QByteArrayView request, QByteArrayView reply, int code)
{
    if (code < 0)
        return {};
    const std::optional<FramePayload> payload = framePayload(request.isEmpty() ? reply : request);
    const quint8 next = payload && payload->bytes.size() > 2 ? quint8(payload->bytes[2]) : 0;
    return describeFunction(quint8(code), next).value_or(QString());
}

QString exchangeValuesText(QByteArrayView request, QByteArrayView reply)
{
    const std::optional<FramePayload> asked = framePayload(request);
    std::optional<FramePayload> answer = framePayload(reply);
    if (answer && !answer->checkOk)
        answer.reset();
    return standardValues(asked ? QByteArrayView(asked->bytes) : QByteArrayView(),
                          answer ? QByteArrayView(answer->bytes) : QByteArrayView());
}

ExchangeLogModel::ExchangeLogModel(qsizetype capacity, QObject *parent)
    : QAbstractTableModel(parent)
    , m_capacity(qMax<qsizetype>(capacity, 1))
{ }

void ExchangeLogModel::append(const Exchange &exchange, qint64 wallMs)
{
    // The oldest rows go a hundredth of the log at a time, not one per row, so
    // that a full log costs the view one removal per hundredth.
    if (m_rows.size() >= m_capacity) {
        const qsizetype drop = qMin(m_rows.size(), qMax<qsizetype>(1, m_capacity / 100));
        beginRemoveRows({}, 0, int(drop - 1));
        m_rows.remove(0, drop);
        endRemoveRows();
    }
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    const QByteArray request = exchange.request.first(qMin(exchange.request.size(), maxBytesShown));
    const QByteArray reply = exchange.reply.first(qMin(exchange.reply.size(), maxBytesShown));
    m_rows.append({request + reply, wallMs, exchange.responseUs(), exchange.gapUs,
                   quint16(request.size()), request.size() < exchange.request.size(),
                   reply.size() < exchange.reply.size(), exchange.verdict,
                   qint16(exchange.station ? *exchange.station : -1),
                   qint16(exchange.code ? *exchange.code : -1), exchange.exceptionCode});
    endInsertRows();
}

void ExchangeLogModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int ExchangeLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ExchangeLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ExchangeLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case Qt::ToolTipRole: {
        // The whole request and reply, however narrow their columns have been made.
        const QByteArrayView bytes(row.bytes);
        return QStringLiteral("%1:\n%2\n%3:\n%4")
                .arg(headerData(Request, Qt::Horizontal).toString(),
                     hexLines(bytes.first(row.requestSize), row.requestCut),
                     headerData(Reply, Qt::Horizontal).toString(),
                     hexLines(bytes.sliced(row.requestSize), row.replyCut));
    }
    case VerdictRole:
        return int(row.verdict);
    case Qt::TextAlignmentRole:
        return index.column() == ResponseTime ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                              : QVariant();
    default:
        return {};
    }
}

QString ExchangeLogModel::text(const Row &row, int column) const
{
    const auto hexByte = [](qint16 value) {
        return value < 0 ? QString()
                         : QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    };
    switch (column) {
    case Time:
        return QDateTime::fromMSecsSinceEpoch(row.wallMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    case Station:
        return hexByte(row.station);
    case Code:
        return hexByte(row.code);
    case Description:
        return exchangeCommandText(QByteArrayView(row.bytes).first(row.requestSize),
                                   QByteArrayView(row.bytes).sliced(row.requestSize), row.code);
    case Values:
        if (row.requestCut || row.replyCut)
            return {};
        return exchangeValuesText(QByteArrayView(row.bytes).first(row.requestSize),
                                  QByteArrayView(row.bytes).sliced(row.requestSize));
    case Request:
        return hexText(row.bytes.first(row.requestSize), row.requestCut);
    case Reply:
        return hexText(row.bytes.sliced(row.requestSize), row.replyCut);
    case Result:
        return verdictText(row.verdict, row.exceptionCode);
    case ResponseTime:
        return row.responseUs >= 0 ? millisecondsText(row.responseUs) : QString();
    case Gap:
        return row.gapUs >= 0 ? millisecondsText(row.gapUs) : QString();
    default:
        return {};
    }
}

QVariant ExchangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const headers[ColumnCount] = {
            QT_TR_NOOP("时间"),       QT_TR_NOOP("站号"), QT_TR_NOOP("功能码"),
            QT_TR_NOOP("命令"),       QT_TR_NOOP("数值"), QT_TR_NOOP("请求"),
            QT_TR_NOOP("应答"),       QT_TR_NOOP("结果"), QT_TR_NOOP("应答时间 (ms)"),
            QT_TR_NOOP("帧间隔 (ms)")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return tr(headers[section]);
}
