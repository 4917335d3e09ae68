#include "support/respondingunit.h"

#include <algorithm>

RespondingUnit::RespondingUnit(const QHostAddress& address, quint16 port, const QString& model,
                               QObject* parent)
    : FakeUnit(address, port, parent)
    , m_model(model)
{
    connect(this, &FakeUnit::datagramReceived, this, &RespondingUnit::answer);
}

void RespondingUnit::setSilent(bool silent)
{
    FakeUnit::setSilent(silent);
    m_silent = silent;
}

int RespondingUnit::statusRequests(const QString& what) const
{
    const QList<Datagram> asked = commands(QStringLiteral("GetStatus"));
    return int(std::count_if(asked.cbegin(), asked.cend(),
                             [&what](const Datagram& d) { return d.payload.trimmed() == what; }));
}

void RespondingUnit::answer(const FakeUnit::Datagram& datagram)
{
    if (!m_answers || m_silent || datagram.kind != Datagram::Command
        || datagram.cmd != QLatin1String("GetStatus"))
        return;
    const QString what = datagram.payload.trimmed();
    if (what == "BasicInfo" || what == "All")
        sendCommand("BasicInfo", QStringLiteral("AcronymPU:%1\nNamePU:Test\nFWVersionPU:02.04\n"
                                                "TypeGT:%2\nMAC Address:00:11:22:33:44:55")
                                     .arg(m_model, m_screen));
    else if (what == "Presence")
        sendCommand("PresenceStatus", m_presenceStatus);
    else if (what == "Call")
        sendCommand("CallStatus", m_callStatus);
    else if (what == "Notifications")
        sendCommand("Notifications", "CallStatus NOT_CONNECTED");
}
