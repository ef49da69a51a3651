#include "PortHolders.h"

// Windows opens a COM port for one program at a time: a program that holds
// it makes the open fail (Busy), and no other program ever shares it. There
// is nobody to look for.

PortHolder holderOf(qint64 pid)
{
    return {pid, {}};
}

QList<PortHolder> otherHoldersOf(const QString &, const std::atomic<bool> *)
{
    return {};
}

QStringList deviceNames(const QString &devicePath)
{
    return {devicePath};
}

bool holdsDevice(const QString &target, const QStringList &names, const QString &, quint64)
{
    return names.contains(target, Qt::CaseInsensitive);
}
