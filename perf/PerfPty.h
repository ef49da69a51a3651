#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// A pseudo-terminal for the benchmarks: the bench writes on the master as
// the device, from any thread, and learns the instant each write returned.
class PerfPty
{
public:
    PerfPty();
    ~PerfPty();
    PerfPty(const PerfPty &) = delete;
    PerfPty &operator=(const PerfPty &) = delete;

    QString path() const { return m_path; }

    // Writes all of it (blocking); returns the steady clock in ns just after
    // the last byte was handed to the line.
    std::int64_t write(const QByteArray &bytes);

    // Opens the slave side raw, for the bare read loop that gives the floor.
    int openSlave() const;

    static std::int64_t nowNs();

private:
    int m_master = -1;
    QString m_path;
};
