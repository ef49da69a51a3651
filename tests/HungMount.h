#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <atomic>
#include <thread>

// A FUSE file system of the test's own, served on a thread, holding one
// file (file()) whose attributes are never given: a stat() of that file
// waits for good, as on a hung network share. Lookups and opens answer, so
// that another process can hold the file open.
//
// Needs /dev/fuse and the right to mount (root, or a user namespace that
// has it); isValid() is false otherwise and why() says what refused.
// Ending it aborts the connection: any stat() still waiting then fails.
class HungMount
{
public:
    HungMount();
    ~HungMount();
    HungMount(const HungMount &) = delete;
    HungMount &operator=(const HungMount &) = delete;

    bool isValid() const { return m_fuse >= 0; }
    QString why() const { return m_why; }
    QString file() const;
    // How many times the file's attributes were asked for (and never given).
    int attributeRequests() const { return m_hung; }

    // Another process that holds each of `paths` open until it is killed;
    // -1 when one did not open within a few seconds (it is then killed).
    static pid_t holdOpen(const QStringList &paths);

private:
    void serve();

    QString m_dir;
    QString m_why;
    int m_fuse = -1;
    int m_stop[2] = {-1, -1};
    std::atomic<int> m_hung{0};
    std::thread m_thread;
};
