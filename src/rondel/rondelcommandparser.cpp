#include "rondel/rondelcommandparser.h"

#include "rondel/parsers.h"
#include "rondel/records.h"
#include "rondel/rondelformat.h"

#include <QDebug>

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

// Entries of a gathered list or table; 0 for any other record.
int entries(const QVariant& record)
{
    if (record.userType() == qMetaTypeId<CallChange>())
        return record.value<CallChange>().size();
    if (record.userType() == qMetaTypeId<PMBConfigBT>())
        return record.value<PMBConfigBT>().size();
    if (record.userType() == qMetaTypeId<Requests>())
        return record.value<Requests>().size();
    return 0;
}

} // namespace

RondelCommandParser::RondelCommandParser(const QHostAddress& ip, QObject* parent)
    : QObject(parent)
    , m_ip(ip)
    , m_parsers(sharedParsers())
{
}

const QMap<QString, CommandParser*>& RondelCommandParser::sharedParsers()
{
    // A parser keeps nothing of a datagram beyond the call that reads it,
    // so one set serves every unit address; two thousand units would
    // otherwise carry thirty thousand parser objects (about 6 MB). They
    // live as long as the process: the map is never destroyed, so that the
    // parsers stay reachable to the end instead of counting as leaked.
    static const QMap<QString, CommandParser*>& parsers = *new QMap<QString, CommandParser*>([] {
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
    }());
    return parsers;
}

void RondelCommandParser::resetSeries()
{
    m_pendingParser = nullptr;
    m_gathered = QVariant();
    m_lastFragment.clear();
    m_seriesDatagrams = 0;
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
    const bool continues = continuesSeries(text);
    if (m_droppingSeries) {
        // Still acknowledged above, so that the unit moves on to its end.
        if (continues) {
            m_droppingSeries = header.notFinished;
            return;
        }
        m_droppingSeries = false;
    }
    const bool gathering = m_pendingParser == parser && continues;
    if (gathering) {
        // A fragment repeated because our acknowledgement got lost is
        // gathered already.
        if (text == m_lastFragment)
            return;
        command.data = joined(m_gathered, command.data);
        ++m_seriesDatagrams;
    } else {
        m_seriesDatagrams = 1;
    }
    if ((gathering || header.notFinished)
        && qMax(m_seriesDatagrams, entries(command.data)) > MaxSeriesElements) {
        // A unit that never ends its series must not grow our memory; half
        // a list delivered as if whole would be worse than none.
        qWarning() << QString(QStringLiteral("Rondel - series of NotFinished datagrams from ")
                              + m_ip.toString() + QStringLiteral(" dropped: more than ")
                              + QString::number(MaxSeriesElements) + QStringLiteral(" elements"));
        resetSeries();
        m_droppingSeries = header.notFinished;
        return;
    }
    if (header.notFinished) {
        m_pendingParser = parser;
        m_gathered = command.data;
        m_lastFragment = text;
        return;
    }
    resetSeries();

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
