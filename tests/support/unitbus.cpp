#include "support/unitbus.h"

#include "core/constants.h"
#include "rondel/parsers.h"
#include "rondel/rondelcommandparser.h"
#include "rondel/udpsocket.h"

#include <QDate>
#include <QRegularExpression>

#include <algorithm>

namespace {

// "Cmd|payload", the payload trimmed, today's date and time written "D" and "T".
QString commandText(const QString& cmd, QString payload)
{
    static const QRegularExpression stamp(
        QStringLiteral("^Date:(\\d{1,2}\\.\\d{1,2}\\.\\d{4})\nTime:\\d{1,2}:\\d\\d:\\d\\d\n"));
    const QRegularExpressionMatch match = stamp.match(payload);
    if (match.hasMatch() && match.captured(1) == QDate::currentDate().toString(QStringLiteral("d.M.yyyy")))
        payload.replace(0, match.capturedLength(), QStringLiteral("Date:D\nTime:T\n"));
    return cmd + QLatin1Char('|') + payload.trimmed();
}

} // namespace

RecordingServer::RecordingServer()
    : RondelServer(nullptr, nullptr, nullptr)
{
}

void RecordingServer::send(const OutgoingCommand& command, const QHostAddress& ip)
{
    m_sent.append({ip, commandText(command.name, command.payload)});
}

QStringList RecordingServer::sent(const QHostAddress& ip) const
{
    QStringList result;
    for (const auto& entry : m_sent) {
        if (entry.first == ip)
            result.append(entry.second);
    }
    return result;
}

QStringList RecordingServer::take(const QHostAddress& ip)
{
    const QStringList result = sent(ip);
    m_sent.erase(std::remove_if(m_sent.begin(), m_sent.end(), [&ip](const auto& e) { return e.first == ip; }),
                 m_sent.end());
    return result;
}

Command parsedCommand(const QString& name, const QString& payload)
{
    RondelCommandParser reader;
    CommandParser* parser = reader.parser(name);
    if (!parser)
        return Command();
    QByteArray text = "MsgNo:1\nCmd:" + name.toUtf8() + '\n';
    if (!payload.isEmpty())
        text += payload.toUtf8() + '\n';
    text += "CRC:0000";
    if (parser->parse(text) != 0)
        return Command();
    return parser->command();
}

QStringList commandTexts(const QList<FakeUnit::Datagram>& commands)
{
    QStringList result;
    for (const FakeUnit::Datagram& datagram : commands)
        result.append(commandText(datagram.cmd, datagram.payload));
    return result;
}

LoopbackBus::LoopbackBus(RondelLogger* logger, PublicRondelListener* publicListener)
{
    // Fake units take the port first; the core binds the same port on
    // 127.0.0.1, as on the field network where all share one port.
    for (int tries = 0; tries < 5; ++tries) {
        m_port = FakeUnit::freePort();
        auto socket = std::make_unique<QUdpSocket>();
        if (socket->bind(FakeUnit::CoreAddress, m_port)) {
            m_socket = std::move(socket);
            break;
        }
    }
    if (!m_socket)
        return;
    m_udp = std::make_unique<UdpSocket>(m_socket.get());
    m_server = std::make_unique<RondelServer>(logger, publicListener, m_udp.get());
    RondelTimings timings;
    timings.retryInterval = 100;
    timings.keepAliveInterval = 60000;
    timings.keepAliveStartSpread = 0;
    m_server->setTimings(timings);
}

LoopbackBus::~LoopbackBus() = default;

FakeUnit* LoopbackBus::addUnit(const QHostAddress& address)
{
    m_units.push_back(std::make_unique<FakeUnit>(address, m_port));
    return m_units.back()->isBound() ? m_units.back().get() : nullptr;
}
