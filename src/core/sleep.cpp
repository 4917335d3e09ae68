#include "core/sleep.h"

#include <QEventLoop>
#include <QTimer>

void sleep(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
