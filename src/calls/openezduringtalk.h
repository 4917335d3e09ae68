#pragma once

#include <QObject>

class CallCapable;
class CallQueue;

// Lets a unit in a direct talk open the door at the other end: staff
// talking to the entrance let the visitor in without walking there.
class OpenEZDuringTalk : public QObject
{
    Q_OBJECT
public:
    explicit OpenEZDuringTalk(CallQueue* queue, QObject* parent = nullptr);

    void openEZ(CallCapable* unit);

private:
    CallQueue* m_queue;
};
