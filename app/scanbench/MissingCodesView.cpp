#include "MissingCodesView.h"

#include "BenchReport.h"

#include <QLocale>

MissingCodesView::MissingCodesView(QWidget *parent) : QPlainTextEdit(parent)
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("missingCodes"));
    setAttribute(Qt::WA_DeleteOnClose);
    setReadOnly(true);
    resize(320, 400);
}

void MissingCodesView::showCodes(const QList<QByteArray> &missing, qsizetype expected)
{
    QString text;
    for (const QByteArray &code : missing)
        text += QString::fromUtf8(BenchReport::escaped(code)) + u'\n';
    setPlainText(text);
    const QLocale french(QLocale::French);
    setWindowTitle(QStringLiteral("Codes manquants : %1 sur %2").arg(french.toString(missing.size()), french.toString(expected)));
    setAccessibleName(windowTitle());
    show();
    raise();
}
