#include "FileSet.h"

#include "TargetFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <filesystem>
#include <memory>

namespace {

// A free name beside `path` for its old file while the new ones go in.
QString asideName(const QString &path)
{
    QTemporaryFile probe(path + QStringLiteral(".ancien-XXXXXX"));
    probe.setAutoRemove(true);
    return probe.open() ? probe.fileName() : QString();
}

// A rename within a folder, never a copy: 0, else the system's error.
int moved(const QString &from, const QString &to)
{
    std::error_code e;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()), std::filesystem::path(to.toStdU16String()), e);
    return e.value();
}

QString writeFailure(const QSaveFile &file, int e)
{
    return file.error() == QFileDevice::ResourceError ? TargetFile::reason(ENOSPC) : TargetFile::reason(e);
}

} // namespace

void FileSet::add(const QString &path, Parts parts)
{
    m_entries.append({path, std::move(parts)});
}

QString FileSet::readOnly(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    // The mode's bits, not what this user may do: root may write anywhere,
    // but a file marked read-only was marked so for a reason.
    const QFileDevice::Permissions write = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.permissions() & write ? QString() : QStringLiteral("fichier en lecture seule");
}

FileSet::Outcome FileSet::write()
{
    Outcome out;
    const auto fail = [&out](const QString &path, const QString &why) {
        out.failedPath = path;
        out.why = why;
        return out;
    };
    for (const Entry &e : m_entries) {
        QString why = TargetFile::refusal(e.path);
        if (why.isEmpty())
            why = readOnly(e.path);
        if (!why.isEmpty())
            return fail(e.path, why);
    }

    // Every file whole beside its name; nothing is in place yet.
    std::vector<std::unique_ptr<QSaveFile>> files;
    for (const Entry &e : m_entries) {
        auto file = std::make_unique<QSaveFile>(e.path);
        file->setDirectWriteFallback(false);
        errno = 0;
        if (!file->open(QIODevice::WriteOnly))
            return fail(e.path, TargetFile::reason(errno));
        while (const std::optional<QByteArray> part = e.parts()) {
            errno = 0;
            if (file->write(*part) != part->size())
                return fail(e.path, writeFailure(*file, errno));
        }
        // The last part may still be in the buffer: a failure shows here.
        errno = 0;
        if (!file->flush())
            return fail(e.path, writeFailure(*file, errno));
        files.push_back(std::move(file));
    }

    // In place, one by one, each old file kept aside until all are in.
    struct Placed {
        QString path;
        QString aside; // where its old file is; empty: there was none
    };
    QList<Placed> placed;
    const auto undo = [&placed, &out] {
        for (qsizetype i = placed.size() - 1; i >= 0; --i) {
            const Placed &p = placed[i];
            const bool gone = QFile::remove(p.path) || !QFileInfo::exists(p.path);
            if (gone && (p.aside.isEmpty() || moved(p.aside, p.path) == 0))
                continue;
            out.changed.prepend(p.path);
        }
    };
    for (size_t i = 0; i < files.size(); ++i) {
        const QString &path = m_entries[qsizetype(i)].path;
        Placed p{path, {}};
        if (QFileInfo::exists(path)) {
            p.aside = asideName(path);
            const int e = p.aside.isEmpty() ? EACCES : moved(path, p.aside);
            if (e != 0) {
                undo();
                return fail(path, TargetFile::reason(e));
            }
        }
        errno = 0;
        if (!files[i]->commit()) {
            const QString why = writeFailure(*files[i], errno);
            if (!p.aside.isEmpty() && moved(p.aside, path) != 0)
                out.changed << path; // its old file is still aside
            undo();
            return fail(path, why);
        }
        placed.append(p);
    }
    for (const Placed &p : placed) {
        if (!p.aside.isEmpty())
            QFile::remove(p.aside);
        out.changed << p.path;
    }
    return out;
}
