#include "FullDisk.h"

#include <QFile>

#include <sys/mount.h>
#include <sys/stat.h>

FullDisk::FullDisk(const QString &dir, const QMap<QString, QByteArray> &files)
{
    const QByteArray at = QFile::encodeName(dir + QStringLiteral("/full"));
    if (::mkdir(at.constData(), 0755) != 0 || ::mount("tmpfs", at.constData(), "tmpfs", 0, "size=64k") != 0)
        return;
    m_path = dir + QStringLiteral("/full");
    for (auto f = files.begin(); f != files.end(); ++f) {
        QFile old(m_path + u'/' + f.key());
        if (old.open(QIODevice::WriteOnly))
            old.write(f.value());
    }
    QFile filler(m_path + QStringLiteral("/filler"));
    filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    const QByteArray block(512, 'f');
    while (filler.write(block) > 0) {
    }
    for (char c = 'f'; filler.write(&c, 1) == 1;) {
    }
}

FullDisk::~FullDisk()
{
    if (!m_path.isEmpty())
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
}
