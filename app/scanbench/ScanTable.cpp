#include "ScanTable.h"

#include "ControlPictures.h"
#include "Gs1ElementString.h"

#include <QDateTime>
#include <QStringDecoder>

#include <algorithm>

int ScanTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ScanTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ScanTable::receivedText(qint64 wallMs)
{
    return QDateTime::fromMSecsSinceEpoch(wallMs).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString ScanTable::shownData(const QByteArray &data)
{
    // Text in UTF-8 (a QR code's "Zürich 3€") reads as such; any other
    // bytes show one character each, as in the box. The hex column keeps
    // the bytes either way.
    const bool high = std::any_of(data.begin(), data.end(), [](char c) { return uchar(c) >= 0x80; });
    if (high) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(data);
        if (!utf8.hasError())
            return shownText(text);
    }
    return shownText(QString::fromLatin1(data));
}

QString ScanTable::hexText(const QByteArray &data)
{
    return QString::fromLatin1(data.toHex(' ').toUpper());
}

QVariant ScanTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const ScanRow &r = m_rows[size_t(index.row())];
    if (role == Qt::TextAlignmentRole) {
        if (index.column() <= Length)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (Column(index.column())) {
    case Number: return QString::number(r.number);
    case Received: return receivedText(r.wallMs);
    case Gap: return r.gapMs < 0 ? QString() : QString::number(r.gapMs);
    case Length: return QString::number(r.data.size() - r.symbology.aim.size()); // the code's, without its identifier
    case Kind: return r.symbology.shownName();
    case Check: return r.symbology.shownCheck();
    case Mark: return ScanTally::markText(r.mark);
    case Data:
        if (role == Qt::ToolTipRole && r.symbology.gs1) {
            // The element strings as a person reads them, and their fault.
            const Gs1ElementString e = Gs1ElementString::read(Symbology::payload(r.data));
            return shownData(r.data) + u'\n' + e.shown + (e.fault.isEmpty() ? QString() : u'\n' + e.fault);
        }
        return shownData(r.data) + (r.cut ? QStringLiteral(" …") : QString());
    case Hex: return hexText(r.data);
    case ColumnCount: break;
    }
    return {};
}

QVariant ScanTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const names[ColumnCount] = {"N°", "Reçu à", "Écart (ms)", "Longueur", "Symbologie",
                                                   "Contrôle", "Liste", "Données", "Hexa"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

void ScanTable::append(std::deque<ScanRow> rows)
{
    if (rows.empty())
        return;
    // A batch bigger than the table keeps its newest rows only.
    while (rows.size() > size_t(MaxRows)) {
        rows.pop_front();
        ++m_left;
    }
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    for (ScanRow &r : rows) {
        m_bytes += r.data.size();
        m_rows.push_back(std::move(r));
    }
    endInsertRows();
    qsizetype leaving = 0;
    qsizetype bytes = m_bytes;
    while (size_t(leaving) < m_rows.size() && (m_rows.size() - size_t(leaving) > size_t(MaxRows) || bytes > MaxDataBytes))
        bytes -= m_rows[size_t(leaving++)].data.size();
    if (leaving == 0)
        return;
    beginRemoveRows({}, 0, int(leaving) - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + leaving);
    m_bytes = bytes;
    m_left += leaving;
    endRemoveRows();
}

void ScanTable::clear()
{
    beginResetModel();
    m_rows.clear();
    m_bytes = 0;
    m_left = 0;
    endResetModel();
}
