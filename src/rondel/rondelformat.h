#pragma once

#include <QByteArray>
#include <QString>

// Error numbers carried in the "Error:" line of an acknowledgement.
// 0 means the datagram was accepted.
enum RondelError : int {
    RondelNoError = 0,
    RondelMisplacedNumber = 17,   // "MsgNo"/"AckNo" not on the first line
    RondelMisplacedCmd = 32,      // "Cmd" not on the second line
    RondelMissingField = 49,      // a mandatory payload field is absent
    RondelInvalidValue = 64,      // empty key, unreadable "MsgNo", payload rejected
    RondelChecksumError = 97,     // "CRC" unreadable or wrong
    RondelMissingChecksum = 99,   // the datagram ended without a "CRC" line
    RondelInvalidAckNo = 65528    // unreadable "AckNo" (0xFFF8 as the units expect it)
};

// What the reader extracts from a received datagram before any command
// parser sees it.
struct DatagramHeader
{
    int msgNo = -1;          // number of a command, or the acknowledged number
    QString cmd;             // command name, or "Ping", "OK", "AckNo"
    int error = RondelNoError;
    bool notFinished = false;
};

// A command for a unit: its name and the lines that follow it.
struct OutgoingCommand
{
    QString name;
    QString payload;
};

namespace RondelFormat {

inline const QString Ping = QStringLiteral("Ping");
inline const QString OK = QStringLiteral("OK");
inline const QString AckNo = QStringLiteral("AckNo");
inline const QString MsgNo = QStringLiteral("MsgNo");
inline const QString Cmd = QStringLiteral("Cmd");
inline const QString CRC = QStringLiteral("CRC");
// A list sent as a series of datagrams: every element but the first carries
// Continue, every element but the last carries NotFinished.
inline const QString Continue = QStringLiteral("Continue");
inline const QString NotFinished = QStringLiteral("NotFinished");

// The 16-bit checksum the units compute: the MSB-first CCITT table
// (polynomial 0x1021) in augmented-register form, without the two
// augmentation bytes and without a final XOR.
quint16 crc16(const QByteArray& bytes);

// Finishes an outgoing text: trims it, ends it with one "\n", drops every
// "\r", encodes UTF-8 and appends "CRC:" with four lower-case hex digits.
QByteArray finish(const QString& text);

// The acknowledgement of a received datagram.
QByteArray acknowledgement(int ackNo, int error);

// The datagram of an outgoing command with the given message number.
QByteArray commandDatagram(const OutgoingCommand& command, int msgNo);

// Line ends "\r\n" and lone "\r" turned into "\n".
QByteArray normalizeLineEnds(const QByteArray& datagram);

// Reads the header of a received datagram, applying every acceptance rule.
DatagramHeader readHeader(const QByteArray& datagram);

} // namespace RondelFormat
