#include "support/eventwait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace EventWait {

bool until(const std::function<bool()> &done, int timeoutMs, std::chrono::microseconds pause)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(static_cast<unsigned long>(pause.count()));
    }
    return true;
}

}  // namespace EventWait
