#include "simwire.h"

#include <QStringList>

namespace SimWire {

const QByteArray Ping = QByteArrayLiteral("Ping");
const QByteArray OK = QByteArrayLiteral("OK");

quint16 crc16(const QByteArray& bytes)
{
    quint32 crc = 0;
    for (const char c : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = crc & 0x8000;
            crc = ((crc << 1) | ((static_cast<quint8>(c) >> bit) & 1)) & 0xFFFF;
            if (top)
                crc ^= 0x1021;
        }
    }
    return static_cast<quint16>(crc);
}

QByteArray checksummed(const QByteArray& text)
{
    return text + "CRC:" + QByteArray::number(crc16(text), 16).rightJustified(4, '0');
}

QByteArray command(int msgNo, const QString& name, const QString& payload)
{
    QByteArray text = "MsgNo:" + QByteArray::number(msgNo) + "\nCmd:" + name.toUtf8() + "\n";
    if (!payload.isEmpty()) {
        text += payload.toUtf8();
        if (!text.endsWith('\n'))
            text += '\n';
    }
    return checksummed(text);
}

QByteArray ack(int number, int error)
{
    return checksummed("AckNo:" + QByteArray::number(number) + "\nError:"
                       + QByteArray::number(error) + "\n");
}

int Numbering::take()
{
    const int number = m_next;
    m_next = (m_next + 1) % 256;
    return number;
}

Datagram dissect(const QByteArray& bytes)
{
    Datagram d;
    d.bytes = bytes;
    if (bytes == Ping) {
        d.kind = Datagram::Ping;
        return d;
    }
    if (bytes == OK) {
        d.kind = Datagram::OK;
        return d;
    }
    const int crcAt = bytes.lastIndexOf("CRC:");
    if (crcAt >= 0) {
        d.hasChecksum = true;
        bool ok = false;
        const uint crc = bytes.mid(crcAt + 4).toUInt(&ok, 16);
        d.checksumValid = ok && crc == crc16(bytes.left(crcAt));
    }
    const QStringList lines = QString::fromUtf8(crcAt >= 0 ? bytes.left(crcAt) : bytes)
                                  .split(QLatin1Char('\n'));
    if (lines.value(0).startsWith(QLatin1String("AckNo:"))) {
        d.kind = Datagram::Ack;
        d.number = lines.value(0).mid(6).toInt();
        if (lines.value(1).startsWith(QLatin1String("Error:")))
            d.error = lines.value(1).mid(6).toInt();
    } else if (lines.value(0).startsWith(QLatin1String("MsgNo:"))
               && lines.value(1).startsWith(QLatin1String("Cmd:"))) {
        d.kind = Datagram::Command;
        d.number = lines.value(0).mid(6).toInt();
        d.cmd = lines.value(1).mid(4);
        for (int i = 2; i < lines.size() - 1; ++i)
            d.payload += lines.at(i) + QLatin1Char('\n');
    }
    return d;
}

} // namespace SimWire
