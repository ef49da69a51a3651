#include "EventYield.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void EventYield::pass(bool first, std::optional<Clock::Duration> deadline) const
{
    if (first) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // Blocking until the next event is safe only with something due: the
    // deadline is armed as a timer of its own, so the sleep always ends.
    QTimer wake;
    if (deadline) {
        const auto left = *deadline - m_clock.now();
        if (left <= Clock::Duration::zero()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            return;
        }
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(int(qMin<qint64>(ms, 24 * 3600 * 1000)));
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
