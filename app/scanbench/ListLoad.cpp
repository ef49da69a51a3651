#include "ListLoad.h"

#include "ScanTally.h"
#include "TargetFile.h"

#include <QMetaObject>

#include <atomic>
#include <mutex>
#include <thread>

// Shared by the loader and its thread. The thread posts to the loader only
// under `mutex` and while `loader` is set; the loader clears it under the
// same mutex before it goes.
struct ListLoad::Run {
    QString file;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    ListLoad *loader = nullptr; // under mutex
};

ListLoad::ListLoad(QObject *parent) : QObject(parent) {}

ListLoad::~ListLoad()
{
    abandon();
}

void ListLoad::abandon()
{
    if (!m_run)
        return;
    m_run->stop = true;
    {
        std::lock_guard lock(m_run->mutex);
        m_run->loader = nullptr;
    }
    m_run.reset();
}

void ListLoad::start(const QString &file)
{
    abandon();
    auto run = std::make_shared<Run>();
    run->file = file;
    run->loader = this;
    m_run = run;
    std::thread([run] {
        // Posts `then` to the loader's thread, to run there if this load is
        // still the one wanted.
        const auto post = [&run](auto then) {
            std::lock_guard lock(run->mutex);
            if (!run->loader || run->stop)
                return false;
            ListLoad *loader = run->loader;
            QMetaObject::invokeMethod(loader, [loader, run, then] {
                if (loader->m_run == run && !run->stop)
                    then(loader);
            }, Qt::QueuedConnection);
            return true;
        };
        QString why;
        const std::optional<QByteArray> bytes = TargetFile::readRegular(run->file, MaxBytes, &why);
        if (!bytes) {
            post([run, why](ListLoad *loader) {
                loader->m_run.reset();
                emit loader->done(run->file, nullptr, 0, why);
            });
            return;
        }
        auto list = std::make_shared<ScanTally::ListFile>(ScanTally::parseList(*bytes, [&](int percent) {
            return post([run, percent](ListLoad *loader) { emit loader->progress(run->file, percent); });
        }));
        post([run, list](ListLoad *loader) {
            loader->m_run.reset();
            auto codes = std::make_shared<const CodeList>(std::move(list->codes));
            emit loader->done(run->file, codes, list->repeats, QString());
        });
    }).detach();
}
