#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

// Observer of the field-bus traffic. The server calls it after every
// datagram it sends and every datagram it receives; the base does nothing.
class RondelLogger : public QObject
{
    Q_OBJECT
public:
    explicit RondelLogger(QObject* parent = nullptr);

    virtual void logSent(const QByteArray& datagram, const QHostAddress& ip);
    virtual void logReceived(const QByteArray& datagram, const QHostAddress& ip);
};
