#pragma once

#include <QObject>
#include <QVector>

class Call;
class CallHandler;
class CallQueue;

// A dial call that keeps ringing at a unit where nobody is present is
// answered there after a while, so that staff calling into an empty room
// are put through to it.
class AutoConnectDialCall : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultDelay = 6000;

    AutoConnectDialCall(CallHandler* handler, CallQueue* queue, QObject* parent = nullptr);

    void setDelay(int ms) { m_delay = ms; }

private:
    void callChanged(const Call& call);
    void answer(qint64 id);

    QVector<qint64> m_pending;
    int m_delay = DefaultDelay;
    CallHandler* m_handler;
    CallQueue* m_queue;
};
