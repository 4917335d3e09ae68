#include "rondel/rondellogger.h"

RondelLogger::RondelLogger(QObject* parent)
    : QObject(parent)
{
}

void RondelLogger::logSent(const QByteArray&, const QHostAddress&)
{
}

void RondelLogger::logReceived(const QByteArray&, const QHostAddress&)
{
}
