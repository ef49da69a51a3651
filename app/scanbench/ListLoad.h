#pragma once

#include "CodeList.h"

#include <QObject>
#include <QString>

#include <memory>

// A list of expected codes read and indexed on a thread of its own, so that
// a list of a million codes never stalls the window: progress() now and
// then, done() at the end, both on the window's thread.
//
// The window never waits for the thread, neither to start nor to stop it:
// a load no longer wanted (another list, the bench going away) is told to
// stop and left to end on its own, its answer dropped.
class ListLoad : public QObject
{
    Q_OBJECT
public:
    // The largest list file read: a million GS1 strings and more.
    static constexpr qint64 MaxBytes = qint64(64) << 20;

    explicit ListLoad(QObject *parent = nullptr);
    ~ListLoad() override; // abandons a load still running

    void start(const QString &file);
    void abandon();
    bool running() const { return bool(m_run); }

signals:
    void progress(const QString &file, int percent);
    // `why` in French when the file could not be read; else the codes and
    // how many lines repeated one before them.
    void done(const QString &file, const std::shared_ptr<const CodeList> &codes, qsizetype repeats, const QString &why);

private:
    struct Run;
    std::shared_ptr<Run> m_run;
};
