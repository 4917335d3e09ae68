#pragma once

#include <QByteArray>
#include <QString>

// The bytes of the field bus as a unit writes and reads them: the checksum,
// command and acknowledgement datagrams, and taking a received datagram
// apart. Shared by the simulator and the tests' fake unit.
namespace SimWire {

extern const QByteArray Ping; // "Ping", no line end, no checksum
extern const QByteArray OK;   // "OK", the answer to "Ping"

// The bus checksum, computed bit by bit: every message bit is shifted into a
// 16-bit register and the polynomial 0x1021 is XORed in whenever a one falls
// out of the top. No initial value, no final XOR, no augmentation.
quint16 crc16(const QByteArray& bytes);

// text + "CRC:" + four lower-case hex digits of crc16(text).
QByteArray checksummed(const QByteArray& text);

// "MsgNo:<n>\nCmd:<name>\n<payload>\nCRC:xxxx". The payload is written as
// given, with one "\n" added when it does not end with one; an empty payload
// adds no line.
QByteArray command(int msgNo, const QString& name, const QString& payload = QString());

// "AckNo:<n>\nError:<e>\nCRC:xxxx".
QByteArray ack(int number, int error = 0);

// Message numbers run 0 to 255 and then start again at 0.
class Numbering
{
public:
    int current() const { return m_next; }
    int take();
    void advance() { take(); }
    void reset() { m_next = 0; }

private:
    int m_next = 0;
};

// One received datagram, taken apart.
struct Datagram
{
    enum Kind { Ping, OK, Ack, Command, Other };

    QByteArray bytes;           // exactly as received
    Kind kind = Other;
    int number = -1;            // "MsgNo" of a command, "AckNo" of an acknowledgement
    int error = -1;             // "Error" of an acknowledgement
    QString cmd;                // command name
    QString payload;            // lines between "Cmd" and "CRC", each ending "\n"
    bool hasChecksum = false;   // a "CRC:" line is present
    bool checksumValid = false; // commands and acknowledgements only
    qint64 atMs = 0;            // when it arrived, for whoever keeps the time
};

Datagram dissect(const QByteArray& bytes);

} // namespace SimWire
