#include "scan_result_model.h"

void ScanResultModel::append(const BusScanner::Hit &hit)
{
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size()));
    m_rows.append({hit});
    endInsertRows();
}

void ScanResultModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QList<quint8> ScanResultModel::checkedStations() const
{
    QList<quint8> stations;
    for (const Row &row : m_rows) {
        if (row.checked && !stations.contains(row.hit.address))
            stations.append(row.hit.address);
    }
    return stations;
}

int ScanResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ScanResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ScanResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows[index.row()];
    if (role == Qt::CheckStateRole && index.column() == Address)
        return row.checked ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Address:
        return QStringLiteral("%1").arg(row.hit.address, 2, 16, QLatin1Char('0')).toUpper();
    case Rate:
        return row.hit.rate;
    case Answer:
        return row.hit.verdict == Verdict::Good         ? tr("握手应答")
                : row.hit.verdict == Verdict::Exception ? tr("异常应答")
                                                        : tr("校验错误的应答");
    case ResponseTime:
        return QStringLiteral("%1 ms").arg(row.hit.responseMs, 0, 'f', 1);
    default:
        return {};
    }
}

bool ScanResultModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != Address || role != Qt::CheckStateRole)
        return false;
    m_rows[index.row()].checked = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {role});
    return true;
}

Qt::ItemFlags ScanResultModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == Address)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant ScanResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Address:
        return tr("站号");
    case Rate:
        return tr("波特率");
    case Answer:
        return tr("应答");
    case ResponseTime:
        return tr("响应时间");
    default:
        return {};
    }
}
