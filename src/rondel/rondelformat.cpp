#include "rondel/rondelformat.h"

#include <QList>
#include <QStringBuilder>

#include <array>

namespace {

std::array<quint16, 256> makeCrcTable()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 crc = static_cast<quint16>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<quint16>((crc << 1) ^ 0x1021)
                                 : static_cast<quint16>(crc << 1);
        table[static_cast<size_t>(i)] = crc;
    }
    return table;
}

} // namespace

namespace RondelFormat {

quint16 crc16(const QByteArray& bytes)
{
    static const std::array<quint16, 256> table = makeCrcTable();
    quint32 crc = 0;
    for (const char c : bytes) {
        const quint8 b = static_cast<quint8>(c);
        crc = (((crc << 8) | b) ^ table[(crc >> 8) & 0xFF]) & 0xFFFF;
    }
    return static_cast<quint16>(crc);
}

// Appends "CRC:" and the four lower-case hex digits of the checksum.
static void appendChecksum(QByteArray& bytes)
{
    static const char hex[] = "0123456789abcdef";
    const quint16 crc = crc16(bytes);
    const char tail[8] = {'C', 'R', 'C', ':', hex[(crc >> 12) & 0xF], hex[(crc >> 8) & 0xF],
                          hex[(crc >> 4) & 0xF], hex[crc & 0xF]};
    bytes.append(tail, 8);
}

QByteArray finish(const QString& text)
{
    QByteArray bytes = text.trimmed().toUtf8();
    bytes += '\n';
    // A carriage return is never part of a longer UTF-8 sequence, so it can
    // go from the bytes as well as from the text.
    if (bytes.contains('\r')) {
        char* out = bytes.data();
        for (const char c : qAsConst(bytes)) {
            if (c != '\r')
                *out++ = c;
        }
        bytes.truncate(int(out - bytes.constData()));
    }
    appendChecksum(bytes);
    return bytes;
}

QByteArray acknowledgement(int ackNo, int error)
{
    // Nothing to trim and no carriage return: finished in place.
    QByteArray bytes = "AckNo:" + QByteArray::number(ackNo) + "\nError:" + QByteArray::number(error) + '\n';
    appendChecksum(bytes);
    return bytes;
}

QByteArray commandDatagram(const OutgoingCommand& command, int msgNo)
{
    const QString text = QLatin1String("MsgNo:") % QString::number(msgNo) % QLatin1String("\nCmd:")
                         % command.name % QLatin1Char('\n') % command.payload.trimmed()
                         % QLatin1Char('\n');
    return finish(text);
}

QByteArray normalizeLineEnds(const QByteArray& datagram)
{
    QByteArray copy = datagram;
    copy.replace("\r\n", "\n");
    copy.replace('\r', '\n');
    return copy;
}

namespace {

bool isAscii(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (static_cast<uchar>(c) >= 0x80)
            return false;
    }
    return true;
}

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The checksum covers the bytes as received, up to the first "CRC:".
int checksumError(const QByteArray& datagram, const QString& value)
{
    const int end = datagram.indexOf("CRC:");
    const QByteArray covered = end < 0 ? datagram : datagram.left(end);
    bool ok = false;
    const uint received = value.toUInt(&ok, 16);
    return !ok || received != crc16(covered) ? RondelChecksumError : RondelNoError;
}

// readHeader() for a datagram of ASCII bytes, which nearly all are: the
// lines are taken straight from the bytes instead of a decoded copy. For
// ASCII, trimming and splitting bytes gives what they give on the text;
// numbers are still read from text, to accept exactly the same forms.
DatagramHeader readAsciiHeader(const QByteArray& datagram)
{
    DatagramHeader header;
    const QByteArray text = normalizeLineEnds(datagram);
    // Read as text, the datagram would end at a zero byte.
    const int zero = text.indexOf('\0');
    const int end = zero < 0 ? text.size() : zero;
    const char* data = text.constData();
    int lineNo = 0;
    for (int start = 0; start <= end; ++lineNo) {
        int stop = text.indexOf('\n', start);
        if (stop < 0 || stop > end)
            stop = end;
        int first = start;
        int last = stop;
        start = stop + 1;
        while (first < last && isAsciiSpace(data[first]))
            ++first;
        while (last > first && isAsciiSpace(data[last - 1]))
            --last;
        if (first == last)
            continue;
        const QLatin1String line(data + first, last - first);
        if (line == QLatin1String("Ping") || line == QLatin1String("OK")) {
            header.cmd = line;
            return header;
        }

        const int colon = text.indexOf(':', first);
        const bool split = colon >= 0 && colon < last;
        const QLatin1String key = split ? QLatin1String(data + first, colon - first) : line;
        const QLatin1String value = split ? QLatin1String(data + colon + 1, last - colon - 1) : line;
        if (key.isEmpty()) {
            header.error = RondelInvalidValue;
            return header;
        }
        if (key == QLatin1String("MsgNo") || key == QLatin1String("AckNo")) {
            if (lineNo != 0) {
                header.error = RondelMisplacedNumber;
                return header;
            }
            const bool ack = key == QLatin1String("AckNo");
            if (ack)
                header.cmd = AckNo;
            bool ok = false;
            header.msgNo = QString(value).toInt(&ok, 10);
            if (!ok) {
                header.msgNo = -1;
                header.error = ack ? RondelInvalidAckNo : RondelInvalidValue;
                return header;
            }
        } else if (key == QLatin1String("CRC")) {
            header.error = checksumError(datagram, QString(value));
            return header;
        } else if (key == QLatin1String("Cmd")) {
            if (lineNo != 1) {
                header.error = RondelMisplacedCmd;
                return header;
            }
            header.cmd = value;
        } else if (key == QLatin1String("NotFinished")) {
            header.notFinished = true;
        }
    }
    header.error = RondelMissingChecksum;
    return header;
}

} // namespace

DatagramHeader readHeader(const QByteArray& datagram)
{
    if (isAscii(datagram))
        return readAsciiHeader(datagram);

    DatagramHeader header;
    const QString text = QString::fromUtf8(normalizeLineEnds(datagram));
    const QStringList lines = text.split(QLatin1Char('\n'));

    for (int lineNo = 0; lineNo < lines.size(); ++lineNo) {
        const QString line = lines.at(lineNo).trimmed();
        if (line.isEmpty())
            continue;
        if (line == Ping || line == OK) {
            header.cmd = line;
            return header;
        }

        const int colon = line.indexOf(QLatin1Char(':'));
        const QString key = colon < 0 ? line : line.left(colon);
        const QString value = colon < 0 ? line : line.mid(colon + 1);
        if (key.isEmpty()) {
            header.error = RondelInvalidValue;
            return header;
        }

        if (key == MsgNo) {
            if (lineNo != 0) {
                header.error = RondelMisplacedNumber;
                return header;
            }
            bool ok = false;
            header.msgNo = value.toInt(&ok, 10);
            if (!ok) {
                header.msgNo = -1;
                header.error = RondelInvalidValue;
                return header;
            }
        } else if (key == AckNo) {
            if (lineNo != 0) {
                header.error = RondelMisplacedNumber;
                return header;
            }
            header.cmd = AckNo;
            bool ok = false;
            header.msgNo = value.toInt(&ok, 10);
            if (!ok) {
                header.msgNo = -1;
                header.error = RondelInvalidAckNo;
                return header;
            }
        } else if (key == CRC) {
            // The units checksum the bytes exactly as they put them on the
            // wire, "\r" included, up to the first "CRC:".
            header.error = checksumError(datagram, value);
            return header;
        } else if (key == Cmd) {
            if (lineNo != 1) {
                header.error = RondelMisplacedCmd;
                return header;
            }
            header.cmd = value;
        } else if (key == NotFinished) {
            header.notFinished = true;
        }
    }
    header.error = RondelMissingChecksum;
    return header;
}

} // namespace RondelFormat
