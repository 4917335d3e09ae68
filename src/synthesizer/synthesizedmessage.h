#pragma once

#include <QHostAddress>
#include <QMetaType>

// A voice message played by the synthesizer to one unit.
struct SynthesizedMessage
{
    SynthesizedMessage() = default;
    SynthesizedMessage(const QHostAddress& ip, quint16 port)
        : ip(ip),
          port(port)
    {
    }

    QHostAddress ip;        // the unit that plays the message
    quint16 port = 0;       // audio port, also the message's key while it plays
    int priority = 16;      // type value of the call the message belongs to
    int type = 1;           // 1 fixed, 2 fragmented
    int room = 0;           // room number, for fragmented messages only
};

Q_DECLARE_METATYPE(SynthesizedMessage)
