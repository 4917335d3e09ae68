#include "core/sleep.h"

#include <QEventLoop>
#include <QTimer>

bool sleep(int ms)
{
    QEventLoop loop;
    bool elapsed = false;
    QTimer::singleShot(ms, &loop, [&] {
        elapsed = true;
        loop.quit();
    });
    loop.exec();
    return elapsed;
}
