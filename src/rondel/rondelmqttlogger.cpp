#include "rondel/rondelmqttlogger.h"

#include "core/clock.h"
#include "mqtt/mqttpublisher.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

// Appends text as a JSON string exactly as QJsonDocument writes it, as long
// as the text is ASCII; false (and out unusable) at the first other byte.
bool appendAsciiString(QByteArray& out, const char* text, int size)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    int from = 0; // start of the characters that are copied as they are
    for (int i = 0; i < size; ++i) {
        const auto c = static_cast<uchar>(text[i]);
        if (c >= 0x80)
            return false;
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(text + from, i - from);
        from = i + 1;
        char escape[6] = {'\\', 0, 0, 0, 0, 0};
        int length = 2;
        switch (c) {
        case '"': escape[1] = '"'; break;
        case '\\': escape[1] = '\\'; break;
        case '\b': escape[1] = 'b'; break;
        case '\f': escape[1] = 'f'; break;
        case '\n': escape[1] = 'n'; break;
        case '\r': escape[1] = 'r'; break;
        case '\t': escape[1] = 't'; break;
        default:
            escape[1] = 'u';
            escape[2] = '0';
            escape[3] = '0';
            escape[4] = hex[c >> 4];
            escape[5] = hex[c & 0xF];
            length = 6;
        }
        out.append(escape, length);
    }
    out.append(text + from, size - from);
    out += '"';
    return true;
}

// Text that is not ASCII takes Qt's own route through the JSON classes: it
// decodes UTF-8 (an invalid sequence becomes U+FFFD) before writing.
QByteArray jsonPayload(const QByteArray& cmd, const QByteArray& data, const QByteArray& timestamp)
{
    QJsonObject payload;
    payload.insert(QStringLiteral("timestamp"), QString::fromLatin1(timestamp));
    payload.insert(QStringLiteral("cmd"), QString::fromUtf8(cmd).trimmed());
    payload.insert(QStringLiteral("data"), QString::fromUtf8(data));
    return QJsonDocument(payload).toJson(QJsonDocument::Compact);
}

} // namespace

RondelMqttLogger::RondelMqttLogger(MqttPublisher* publisher, QObject* parent)
    : RondelLogger(parent)
    , m_publisher(publisher)
{
}

void RondelMqttLogger::logSent(const QByteArray& datagram, const QHostAddress& ip)
{
    log(datagram, ip, QStringLiteral("out"));
}

void RondelMqttLogger::logReceived(const QByteArray& datagram, const QHostAddress& ip)
{
    log(datagram, ip, QStringLiteral("in"));
}

void RondelMqttLogger::setClock(const Clock& clock)
{
    m_clock = clock;
}

QByteArray RondelMqttLogger::payload(const QByteArray& datagram, const QByteArray& timestamp)
{
    // The entry shows the datagram as text, which ends at a zero byte.
    const int zero = datagram.indexOf('\0');
    const int end = zero < 0 ? datagram.size() : zero;

    QByteArray cmd("Ack");
    if (!datagram.startsWith("AckNo")) {
        // The name runs from the first "Cmd:" to the line end (or to a
        // second "Cmd:"). Scanning bytes finds what scanning the decoded
        // text finds: no UTF-8 sequence contains these ASCII bytes.
        cmd.clear();
        const int from = datagram.indexOf("Cmd:");
        if (from >= 0 && from < end) {
            int to = end;
            const int lineEnd = datagram.indexOf('\n', from + 4);
            const int again = datagram.indexOf("Cmd:", from + 4);
            if (lineEnd >= 0)
                to = std::min(to, lineEnd);
            if (again >= 0)
                to = std::min(to, again);
            cmd = datagram.mid(from + 4, to - from - 4);
        }
    }

    // Keys in the order QJsonDocument sorts them.
    QByteArray json;
    json.reserve(end + cmd.size() + timestamp.size() + 48);
    json += "{\"cmd\":";
    const QByteArray name = cmd.trimmed();
    if (!appendAsciiString(json, name.constData(), name.size()))
        return jsonPayload(cmd, datagram.left(end), timestamp);
    json += ",\"data\":";
    if (!appendAsciiString(json, datagram.constData(), end))
        return jsonPayload(cmd, datagram.left(end), timestamp);
    json += ",\"timestamp\":";
    appendAsciiString(json, timestamp.constData(), timestamp.size());
    json += '}';
    return json;
}

QByteArray RondelMqttLogger::timestamp()
{
    if (m_clock)
        return m_clock().toString(Qt::ISODateWithMs).toLatin1();
    // A busy bus logs dozens of datagrams per millisecond, and a local time
    // is costly to convert and format: the text of the current second is
    // kept, and only its milliseconds change.
    const qint64 ms = ::Clock::currentMSecsSinceEpoch();
    if (ms < 0)
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).toString(Qt::ISODateWithMs).toLatin1();
    const qint64 second = ms - ms % 1000;
    if (second != m_stampSecond || m_stamp.size() < 3) {
        m_stampSecond = second;
        m_stamp = QDateTime::fromMSecsSinceEpoch(second, Qt::LocalTime).toString(Qt::ISODateWithMs).toLatin1();
    }
    // "...:ss.zzz", with the offset of a zone never written for local time.
    const int millis = int(ms % 1000);
    char* digits = m_stamp.data() + m_stamp.size() - 3;
    digits[0] = char('0' + millis / 100);
    digits[1] = char('0' + millis / 10 % 10);
    digits[2] = char('0' + millis % 10);
    return m_stamp;
}

QString RondelMqttLogger::topic(const QHostAddress& ip, const QString& direction)
{
    bool isIPv4 = false;
    const quint32 v4 = ip.toIPv4Address(&isIPv4);
    if (!isIPv4)
        return QStringLiteral("rondel/") + ip.toString() + QLatin1Char('/') + direction;
    // Dotted decimal as QHostAddress writes it, without its detour.
    char text[24] = "rondel/";
    int length = 7;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const int part = int((v4 >> shift) & 0xFF);
        if (part >= 100)
            text[length++] = char('0' + part / 100);
        if (part >= 10)
            text[length++] = char('0' + part / 10 % 10);
        text[length++] = char('0' + part % 10);
        text[length++] = shift > 0 ? '.' : '/';
    }
    return QLatin1String(text, length) + direction;
}

void RondelMqttLogger::log(const QByteArray& datagram, const QHostAddress& ip, const QString& direction)
{
    // Probes ("Ping", "OK") carry no message number and would drown the rest.
    if (!m_publisher || (!datagram.startsWith("AckNo") && !datagram.startsWith("MsgNo")))
        return;
    m_publisher->publish(MqttMessage(0, topic(ip, direction), payload(datagram, timestamp())));
}
