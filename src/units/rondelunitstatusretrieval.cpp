#include "units/rondelunitstatusretrieval.h"

#include "core/constants.h"
#include "rondel/rondel.h"
#include "units/rondelunit.h"

#include <QDebug>
#include <QRandomGenerator>

RondelUnitStatusRetrieval::RondelUnitStatusRetrieval(RondelUnit* unit, QObject* parent)
    : QObject(parent)
    , m_unit(unit)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(RondelUnit::DefaultRequestRepeat);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        sendRequest();
        m_timer.start();
    });
    m_startDelay.setSingleShot(true);
    connect(&m_startDelay, &QTimer::timeout, this, &RondelUnitStatusRetrieval::sendRequest);
    connect(m_unit, &RondelUnit::communicationRestored, this, [this] {
        if (isRunning())
            m_unit->startStatusRetrieval();
    });
}

void RondelUnitStatusRetrieval::start()
{
    m_state = BasicInfoAsked;
    m_basicInfo = BasicInfo();
    m_callStatus = CallChange();
    m_notifications = Notifications();
    m_presenceStatus = PresenceStatus();
    const int spread = m_startSpread > 0 ? m_startSpread : 1;
    m_startDelay.start(int(QRandomGenerator::global()->bounded(spread)));
    m_timer.start();
}

void RondelUnitStatusRetrieval::sendRequest()
{
    if (!m_sender)
        return;
    switch (m_state) {
    case BasicInfoAsked:
        if (m_unit->type() == Unit::LumoType)
            m_sender->requestAll();
        else
            m_sender->requestBasicInfo();
        break;
    case PresenceStatusAsked:
        m_sender->requestPresenceStatus();
        break;
    case CallStatusAsked:
        m_sender->requestCallStatus();
        break;
    case NotificationsAsked:
        m_sender->requestNotifications();
        break;
    default:
        break;
    }
}

bool RondelUnitStatusRetrieval::receivedCommand(const Command& command)
{
    qDebug() << QString(m_unit->ip().toString() + QLatin1Char(' ') + command.name);
    if (command.name == Constants::Cmd::BasicInfo) {
        m_basicInfo = command.record<BasicInfo>();
        if (m_state == BasicInfoAsked)
            moveOn();
        return true;
    }
    if (command.name == Constants::Cmd::PresenceStatus && m_unit->reportsPresenceStatus()) {
        m_presenceStatus = command.record<PresenceStatus>();
        if (m_state == PresenceStatusAsked)
            moveOn();
        return true;
    }
    if (command.name == Constants::Cmd::CallStatus && m_unit->reportsCallStatus()) {
        m_callStatus = command.record<CallChange>();
        if (m_state == CallStatusAsked)
            moveOn();
        return true;
    }
    if (command.name == Constants::Cmd::Notifications && m_unit->reportsNotifications()) {
        m_notifications = command.record<Notifications>();
        if (m_state == NotificationsAsked)
            moveOn();
        return true;
    }
    return false;
}

void RondelUnitStatusRetrieval::moveOn()
{
    // Each step falls through to the next one the model does not report.
    int next = m_state + 1;
    if (next == PresenceStatusAsked && !m_unit->reportsPresenceStatus())
        ++next;
    if (next == CallStatusAsked && !m_unit->reportsCallStatus())
        ++next;
    if (next == NotificationsAsked && !m_unit->reportsNotifications())
        ++next;
    if (next >= Done) {
        finish();
        return;
    }
    m_state = next;
    m_startDelay.stop();
    sendRequest();
    m_timer.start();
}

void RondelUnitStatusRetrieval::finish()
{
    m_state = Done;
    m_timer.stop();
    m_startDelay.stop();
    emit retrievalDone();
}
