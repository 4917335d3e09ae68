#pragma once

#include <QHostAddress>
#include <QString>
#include <QtGlobal>

// The variable parts of the topics the core publishes and listens to, read
// back from a topic. Only the exact text the core itself would write is
// accepted, so that acting on what was read never touches a topic of a
// different name.
namespace MqttTopic {

// A decimal identifier without sign or leading zeros.
bool parseId(const QString& text, qint64* id);
// A dotted-decimal IPv4 address as the core writes it.
bool parseAddress(const QString& text, QHostAddress* ip);

} // namespace MqttTopic
