#include "platform/events.h"

#include "platform/memory.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <memory>
#include <system_error>
#include <thread>

#include <sys/eventfd.h>
#include <unistd.h>

namespace netvane {

void LetWindowCatchUp()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void LetWindowRepaint()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents
                                        | QEventLoop::X11ExcludeTimers);
}

void RunBesideWindow(const std::function<void()> &work, const std::function<void()> &tick, int tickMs)
{
    // Without an event loop to keep turning, the work runs here.
    if (!QCoreApplication::instance()) {
        work();
        return;
    }
    QEventLoop loop;
    QTimer ticks;
    ticks.setInterval(tickMs);
    if (tick)
        QObject::connect(&ticks, &QTimer::timeout, &loop, tick);
    // The end of the work wakes the loop through an event descriptor (or, without one,
    // the loop looks for it every 2 ms); nothing but this flag and the join passes
    // between the threads.
    std::atomic<bool> done = false;
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::unique_ptr<QSocketNotifier> woken;
    if (wake >= 0) {
        woken = std::make_unique<QSocketNotifier>(wake, QSocketNotifier::Read);
        QObject::connect(woken.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    }
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (done.load(std::memory_order_acquire))
            loop.quit();
    });
    const auto finished = [&] {
        done.store(true, std::memory_order_release);
        if (wake >= 0) {
            const quint64 one = 1;
            while (::write(wake, &one, sizeof one) < 0 && errno == EINTR) {
            }
        }
    };
    std::thread worker;
    try {
        worker = std::thread([&] {
            work();
            GiveBackFreeMemory(); // what the work freed does not stay with the program
            finished();
        });
    } catch (const std::system_error &) {
        if (wake >= 0)
            ::close(wake);
        work(); // no thread to be had
        return;
    }
    ticks.start();
    if (wake < 0)
        watch.start();
    // The window turns at least once. The loop also ends when the program quits; the
    // work is finished all the same.
    loop.exec();
    worker.join();
    woken.reset();
    if (wake >= 0)
        ::close(wake);
}

} // namespace netvane
