#pragma once

#include "rondel/command.h"

#include <QHostAddress>
#include <QObject>

// Receives the commands of addresses that no unit object listens to, so that
// the application can discover units that are not configured.
class PublicRondelListener : public QObject
{
    Q_OBJECT
public:
    explicit PublicRondelListener(QObject* parent = nullptr);

signals:
    void receivedCommand(const Command& command, const QHostAddress& ip);
};
