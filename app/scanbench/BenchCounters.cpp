#include "FrenchNumber.h"
#include "BenchCounters.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QToolButton>

namespace {

struct Counter {
    ScanTable::Only only;
    const char *label;
    const char *tip;
};

// In the order they are shown.
constexpr Counter counters[] = {
    {ScanTable::Only::All, "Scans", "Montrer tous les scans"},
    {ScanTable::Only::Faults, "Défauts", "Ne montrer que les lignes en défaut (contrôle faux, code invalide, "
                                         "inattendu, sans lecture, coupé, inachevé)"},
    {ScanTable::Only::CheckFaults, "Contrôle faux", "Ne montrer que les scans au chiffre de contrôle faux"},
    {ScanTable::Only::Duplicates, "Doublons", "Ne montrer que les doublons"},
    {ScanTable::Only::Unexpected, "Inattendus", "Ne montrer que les codes absents de la liste"},
};

} // namespace

BenchCounters::BenchCounters(QWidget *parent) : QWidget(parent), m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("counters"));
    setAccessibleName(QStringLiteral("Compteurs"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (const Counter &c : counters) {
        auto *b = new QToolButton(this);
        b->setObjectName(QStringLiteral("only") + QString::number(int(c.only)));
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setToolTip(QString::fromUtf8(c.tip));
        b->setAccessibleDescription(QString::fromUtf8(c.tip));
        m_group->addButton(b, int(c.only));
        layout->addWidget(b);
    }
    button(ScanTable::Only::All)->setChecked(true);
    m_rest = new QLabel(this);
    m_rest->setObjectName(QStringLiteral("countersRest"));
    m_rest->setTextFormat(Qt::PlainText);
    m_rest->setAccessibleName(QStringLiteral("Autres compteurs"));
    m_rest->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_rest);
    layout->addStretch();
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        m_only = ScanTable::Only(id);
        emit onlyChosen(m_only);
    });
    setCounts({});
}

QToolButton *BenchCounters::button(ScanTable::Only only) const
{
    return static_cast<QToolButton *>(m_group->button(int(only)));
}

void BenchCounters::setCounts(const Counts &n)
{
    const qint64 values[] = {n.scans, n.faults, n.checkFaults, n.duplicates, n.unexpected};
    for (size_t i = 0; i < std::size(counters); ++i) {
        QToolButton *b = button(counters[i].only);
        const QString text = QString::fromUtf8(counters[i].label) + QStringLiteral(" : ") + frenchNumber(values[i]);
        b->setText(text);
        b->setAccessibleName(text);
        // Without a list, no code is unexpected: its counter goes, and so
        // does its filter.
        b->setVisible(values[i] >= 0);
    }
    if (n.unexpected < 0 && m_only == ScanTable::Only::Unexpected)
        choose(ScanTable::Only::All);
    m_rest->setText(n.rest);
    m_rest->setVisible(!n.rest.isEmpty());
}

QString BenchCounters::text() const
{
    QStringList parts;
    for (const Counter &c : counters)
        if (!button(c.only)->isHidden())
            parts << button(c.only)->text();
    if (!m_rest->text().isEmpty())
        parts << m_rest->text();
    return parts.join(QStringLiteral("   "));
}

void BenchCounters::choose(ScanTable::Only only)
{
    button(only)->setChecked(true);
    if (only != m_only) {
        m_only = only;
        emit onlyChosen(only);
    }
}
