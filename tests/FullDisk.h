#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// A small disk of the test's own (a 64 KiB tmpfs at <dir>/full), holding
// the files given (by default x.bin, "OLD") and a filler that takes its
// last byte: any new byte written there fails with "disque plein".
// Mounting needs root; path() is empty when it could not be mounted.
class FullDisk
{
public:
    explicit FullDisk(const QString &dir, const QMap<QString, QByteArray> &files = {{QStringLiteral("x.bin"), "OLD"}});
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    QString path() const { return m_path; }
private:
    QString m_path;
};
