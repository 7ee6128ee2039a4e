#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace kv7::test {

// Runs the event loop until `done()` holds or `ms` pass. Unlike
// QTest::qWaitFor, which sleeps 10 ms between rounds, this wakes for every
// event at once, so round trips on a line are timed as the program sees them.
template <typename Condition>
bool WaitUntil(Condition done, int ms)
{
    if (done())
        return true;
    QEventLoop loop;
    const QDeadlineTimer deadline(ms);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    check.start(1);
    loop.exec();
    return done();
}

} // namespace kv7::test
