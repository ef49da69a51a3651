#include "SerialDevice.h"

#include <QFileInfo>

int SerialDevice::builtInIndex() const
{
    return builtIn ? builtInPortIndex(systemLocation) : -1;
}

bool SerialDevice::isNamedBy(const QString &path) const
{
    if (path.isEmpty())
        return false;
    if (path == systemLocation || (!byId.isEmpty() && path == byId))
        return true;
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return !resolved.isEmpty() && resolved == QFileInfo(systemLocation).canonicalFilePath();
}
