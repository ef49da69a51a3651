#include "MissingCodesView.h"

#include "ScanTally.h"

#include <QLocale>

MissingCodesView::MissingCodesView(QWidget *parent) : QListView(parent)
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("missingCodes"));
    setAttribute(Qt::WA_DeleteOnClose);
    setUniformItemSizes(true); // a million rows measured as one
    setLayoutMode(QListView::Batched); // and laid out a slice at a time
    setBatchSize(20000);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setModel(&m_codes);
    resize(320, 400);
}

void MissingCodesView::showCodes(const ScanTally &tally)
{
    m_codes.set(tally.expectedList(), tally.missingIndices());
    const QLocale french(QLocale::French);
    setWindowTitle(QStringLiteral("Codes manquants : %1 sur %2")
                       .arg(french.toString(tally.missingCount()), french.toString(tally.expected().size())));
    setAccessibleName(windowTitle());
    show();
    raise();
}
