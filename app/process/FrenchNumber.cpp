#include "FrenchNumber.h"

#include <QLocale>

QString frenchNumber(qint64 n)
{
    static const QLocale french(QLocale::French);
    return french.toString(n);
}
