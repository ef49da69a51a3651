#include "FrenchNumber.h"
#include "ScanTable.h"

#include "ControlPictures.h"
#include "Gs1ElementString.h"

#include <QColor>
#include <QDateTime>
#include <QLocale>
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

QString ScanTable::faultOf(const ScanRow &r)
{
    QStringList why;
    // A piece (cut, or left unfinished) is no code: its check says nothing.
    const bool piece = r.cut || r.mark == ScanTally::Mark::Unfinished;
    if (!piece && r.symbology.check == Symbology::Check::Wrong)
        why << QStringLiteral("Chiffre de contrôle faux : %1 attendu.").arg(r.symbology.expectedDigit);
    else if (!piece && r.symbology.check == Symbology::Check::Malformed)
        why << QStringLiteral("Code invalide : ") + r.symbology.fault + u'.';
    switch (r.mark) {
    case ScanTally::Mark::Unexpected: why << QStringLiteral("Code absent de la liste des codes attendus."); break;
    case ScanTally::Mark::NoRead: why << QStringLiteral("Sans lecture : aucune donnée dans l'attente du test."); break;
    case ScanTally::Mark::Unfinished: why << QStringLiteral("Scan inachevé : le port s'est fermé avant sa fin."); break;
    default: break;
    }
    if (r.cut)
        why << QStringLiteral("Scan coupé : trop long, la suite est sur la ligne suivante.");
    return why.join(u'\n');
}

bool ScanTable::hasFault(const ScanRow &r)
{
    return r.cut || r.mark == ScanTally::Mark::Unfinished || r.symbology.check == Symbology::Check::Wrong
        || r.symbology.check == Symbology::Check::Malformed || r.mark == ScanTally::Mark::Unexpected || r.mark == ScanTally::Mark::NoRead
        || r.mark == ScanTally::Mark::Unfinished || r.cut;
}

bool ScanTable::shows(const ScanRow &r, Only only)
{
    switch (only) {
    case Only::All: return true;
    case Only::Faults: return hasFault(r);
    case Only::CheckFaults: return r.symbology.check == Symbology::Check::Wrong;
    case Only::Duplicates: return r.mark == ScanTally::Mark::Duplicate;
    case Only::Unexpected: return r.mark == ScanTally::Mark::Unexpected;
    }
    return true;
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
    if (role == Qt::BackgroundRole || role == Qt::ForegroundRole) {
        if (!hasFault(r))
            return {};
        // A light tint, with text dark enough to read on it in any theme.
        return role == Qt::BackgroundRole ? QColor(255, 222, 214) : QColor(Qt::black);
    }
    if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole) {
        const QString fault = faultOf(r);
        const QString shown = role == Qt::ToolTipRole ? cellText(r, index.column(), true) : QString();
        if (fault.isEmpty())
            return shown.isEmpty() ? QVariant() : QVariant(shown);
        return shown.isEmpty() ? fault : shown + u'\n' + fault;
    }
    if (role != Qt::DisplayRole)
        return {};
    return cellText(r, index.column(), false);
}

QString ScanTable::cellText(const ScanRow &r, int column, bool tip)
{
    switch (Column(column)) {
    case Number: return frenchNumber(r.number);
    case Received: return receivedText(r.wallMs);
    case Gap: return r.gapMs < 0 ? QString() : frenchNumber(r.gapMs);
    case Length: return frenchNumber(r.data.size() - r.symbology.aim.size()); // the code's, without its identifier
    case Kind: return r.symbology.shownName();
    case Check: return r.symbology.shownCheck();
    case Mark: return ScanTally::markText(r.mark);
    case Data:
        if (tip && r.symbology.gs1) {
            // The element strings as a person reads them; their fault is
            // the row's (faultOf).
            return shownData(r.data) + u'\n' + Gs1ElementString::read(Symbology::payload(r.data)).shown;
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
        m_faulty += hasFault(r) ? 1 : 0;
        m_rows.push_back(std::move(r));
    }
    endInsertRows();
    qsizetype leaving = 0;
    qsizetype bytes = m_bytes;
    qint64 faulty = m_faulty;
    while (size_t(leaving) < m_rows.size() && (m_rows.size() - size_t(leaving) > size_t(MaxRows) || bytes > MaxDataBytes)) {
        faulty -= hasFault(m_rows[size_t(leaving)]) ? 1 : 0;
        bytes -= m_rows[size_t(leaving++)].data.size();
    }
    if (leaving == 0)
        return;
    beginRemoveRows({}, 0, int(leaving) - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + leaving);
    m_bytes = bytes;
    m_faulty = faulty;
    m_left += leaving;
    endRemoveRows();
}

void ScanTable::clear()
{
    beginResetModel();
    m_rows.clear();
    m_bytes = 0;
    m_left = 0;
    m_faulty = 0;
    endResetModel();
}
