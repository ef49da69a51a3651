#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// vantrel-sim run as a separate process, as a user runs it.
class SimProcess
{
public:
    static QString program();

    // Starts it with these options and waits for the device path it prints.
    bool start(const QStringList &options, int timeoutMs = 5000);
    // SIGTERM, then waits for the end. Returns the exit code (-1 if it crashed).
    int stop(int timeoutMs = 5000);

    QString path() const { return m_path; }
    QProcess &process() { return m_process; }
    // Its stderr so far: what it received and sent.
    QString log();
    // The bytes of every "envoyé" line of the log, in order: what it sent.
    QByteArray sent();

private:
    QProcess m_process;
    QString m_path;
    QString m_log;
};
