#include "SystemCloseWatcher.h"

#include <QMetaObject>
#include <QPointer>

#include <atomic>

#include <windows.h>

// Windows asks a program to end through its console (Ctrl-C, Ctrl-Break,
// the console closed, log-off, shutdown) and through its windows
// (WM_CLOSE, WM_ENDSESSION, which Qt turns into a close of the window
// already). The console's requests come on a thread of the system's: they
// are handed to the window's thread, and the handler says they are taken.

namespace {
std::atomic<SystemCloseWatcher *> g_watcher {nullptr};

BOOL WINAPI onConsoleEvent(DWORD)
{
    SystemCloseWatcher *w = g_watcher.load();
    if (!w)
        return FALSE;
    QMetaObject::invokeMethod(w, &SystemCloseWatcher::closeRequested, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

SystemCloseWatcher::SystemCloseWatcher(QObject *parent) : QObject(parent)
{
    g_watcher.store(this);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

SystemCloseWatcher::~SystemCloseWatcher()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    g_watcher.store(nullptr);
}

void SystemCloseWatcher::onSignal() {}
