#include "rondel/rondelcommandparser.h"

#include "rondel/parsers.h"
#include "rondel/records.h"
#include "rondel/rondelformat.h"

namespace {

// Every datagram of a series but the first carries a "Continue" line.
bool continuesSeries(const QByteArray& text)
{
    for (const QByteArray& line : text.split('\n')) {
        if (line.trimmed() == "Continue")
            return true;
    }
    return false;
}

template<typename Table>
QVariant unite(const QVariant& earlier, const QVariant& next)
{
    Table table = earlier.value<Table>();
    const Table more = next.value<Table>();
    for (auto it = more.constBegin(); it != more.constEnd(); ++it)
        table.insert(it.key(), it.value());
    return QVariant::fromValue(table);
}

// A unit sends a long list one element per datagram; each datagram parses
// into a record of its own. Lists and tables gather the elements of the
// whole series (a later entry replaces an earlier one of the same key), so
// that no element is lost; any other record is replaced by the newest.
QVariant joined(const QVariant& earlier, const QVariant& next)
{
    if (!earlier.isValid() || earlier.userType() != next.userType())
        return next;
    if (next.userType() == qMetaTypeId<CallChange>())
        return unite<CallChange>(earlier, next);
    if (next.userType() == qMetaTypeId<PMBConfigBT>())
        return unite<PMBConfigBT>(earlier, next);
    if (next.userType() == qMetaTypeId<Requests>()) {
        Requests requests = earlier.value<Requests>();
        requests += next.value<Requests>();
        return QVariant::fromValue(requests);
    }
    return next;
}

} // namespace

RondelCommandParser::RondelCommandParser(QObject* parent)
    : QObject(parent)
    , m_parsers(sharedParsers())
{
}

const QMap<QString, CommandParser*>& RondelCommandParser::sharedParsers()
{
    // A parser keeps nothing of a datagram beyond the call that reads it,
    // so one set serves every unit address; two thousand units would
    // otherwise carry thirty thousand parser objects (about 6 MB). They
    // live as long as the process.
    static const QMap<QString, CommandParser*> parsers = [] {
        QMap<QString, CommandParser*> map;
        for (CommandParser* parser : std::initializer_list<CommandParser*>{
                 new BasicInfoParser(nullptr), new BTParser(nullptr), new CallChangeParser(nullptr),
                 new CallStatusParser(nullptr), new ConfigParser(nullptr),
                 new ConnectionChangeParser(nullptr), new ConnectionStatusParser(nullptr),
                 new DialCallParser(nullptr), new FM1StatusParser(nullptr),
                 new FM2StatusParser(nullptr), new NotificationsParser(nullptr),
                 new PMBConfigBTParser(nullptr), new PMBInfoParser(nullptr),
                 new PresenceStatusParser(nullptr), new RequestsParser(nullptr)})
            map.insert(parser->name(), parser);
        return map;
    }();
    return parsers;
}

void RondelCommandParser::parseDatagram(const QByteArray& datagram)
{
    const DatagramHeader header = RondelFormat::readHeader(datagram);
    if (header.error != RondelNoError) {
        emit sendAck(header.msgNo, header.error);
        return;
    }
    if (header.cmd == RondelFormat::Ping) {
        emit sendOK();
        return;
    }
    if (header.cmd == RondelFormat::OK) {
        emit receivedOK();
        return;
    }
    if (header.cmd == RondelFormat::AckNo) {
        emit receivedAck(header.msgNo);
        return;
    }

    CommandParser* parser = m_parsers.value(header.cmd);
    if (!parser) {
        // Unknown commands are accepted so that the unit does not repeat them.
        emit sendAck(header.msgNo, RondelNoError);
        return;
    }

    const QByteArray text = RondelFormat::normalizeLineEnds(datagram);
    const int error = parser->parse(text);
    if (error != RondelNoError) {
        emit sendAck(header.msgNo, error);
        return;
    }
    emit sendAck(header.msgNo, RondelNoError);

    Command command = parser->command();
    if (m_pendingParser == parser && continuesSeries(text)) {
        // A fragment repeated because our acknowledgement got lost is
        // gathered already.
        if (text == m_lastFragment)
            return;
        command.data = joined(m_gathered, command.data);
    }
    if (header.notFinished) {
        m_pendingParser = parser;
        m_gathered = command.data;
        m_lastFragment = text;
        return;
    }
    m_pendingParser = nullptr;
    m_gathered = QVariant();
    m_lastFragment.clear();

    command.msgNo = header.msgNo;
    // A unit that missed our acknowledgement sends the same datagram again.
    // A restarted unit may reuse the number and name for a new report; only
    // a byte-identical repetition is dropped, so that report is not lost.
    if (command.msgNo == m_lastCommand.msgNo && command.name == m_lastCommand.name
        && text == m_lastText)
        return;
    m_lastCommand = command;
    m_lastText = text;
    emit receivedCommand(command);
}
