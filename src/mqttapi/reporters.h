#pragma once

#include "calls/call.h"
#include "errors/errorevent.h"
#include "rondel/records.h"
#include "synthesizer/synthesizedmessage.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class CallLimitsSettings;
class ErrorEvents;
class LanguageSettings;
class MqttPublisher;
class Unit;
class Units;
class UnitsRepository;

// The reporters turn the live state into retained messages that the other
// services of the installation read. Every message goes out with QoS 2 and
// retained; an empty payload removes the topic from the broker.
class MqttReporter : public QObject
{
    Q_OBJECT
public:
    explicit MqttReporter(MqttPublisher* publisher, QObject* parent = nullptr);

    // The text every date-time is published as: local time with
    // milliseconds and no zone, "" for an invalid one.
    static QString dateTimeText(const QDateTime& dateTime);

protected:
    void publish(const QString& topic, const QByteArray& payload);
    void clearTopic(const QString& topic) { publish(topic, QByteArray()); }

private:
    MqttPublisher* m_publisher;
};

// A reporter of one retained topic per unit, "units/<ip>/<part>".
class UnitTopicMqttReporter : public MqttReporter
{
    Q_OBJECT
public:
    UnitTopicMqttReporter(const QString& part, MqttPublisher* publisher, QObject* parent = nullptr);

    const QString& part() const { return m_part; }
    QString topic(const QHostAddress& ip) const;
    void clear(const QHostAddress& ip);

protected:
    void publishFor(const QHostAddress& ip, const QVariantMap& payload);

private:
    QString m_part;
};

// "units/<ip>/info": who made the unit's boards and what runs on them.
class BasicInfoMqttReporter : public UnitTopicMqttReporter
{
    Q_OBJECT
public:
    explicit BasicInfoMqttReporter(MqttPublisher* publisher, QObject* parent = nullptr);

    void report(Unit* unit, const BasicInfo& info);
};

// "units/<ip>/connections": the devices plugged into the unit.
class ConnectionsMqttReporter : public UnitTopicMqttReporter
{
    Q_OBJECT
public:
    explicit ConnectionsMqttReporter(MqttPublisher* publisher, QObject* parent = nullptr);

    void report(Unit* unit);
    void reportAll(const QVector<Unit*>& units);
};

// "units/<ip>/pmbInfo": the unit's PMB module, or nothing once it is gone.
class PMBInfoMqttReporter : public UnitTopicMqttReporter
{
    Q_OBJECT
public:
    explicit PMBInfoMqttReporter(MqttPublisher* publisher, QObject* parent = nullptr);

    void report(Unit* unit, const PMBInfo& info);
    void reportCleared(Unit* unit);
};

// "units/<ip>/state": the unit's calls, presences and errors.
class UnitStatusMqttReporter : public UnitTopicMqttReporter
{
    Q_OBJECT
public:
    explicit UnitStatusMqttReporter(MqttPublisher* publisher, QObject* parent = nullptr);
    // Follows every unit of the registry: all of them once initialised,
    // then each on every change of its calls, talk, presences and errors.
    UnitStatusMqttReporter(MqttPublisher* publisher, Units* units, QObject* parent = nullptr);

    void report(Unit* unit);
    void reportAll(const QVector<Unit*>& units);
    // Reports the unit once the current pass of the event loop is through,
    // with its state as it stands then, however often it changed meanwhile.
    void reportSoon(Unit* unit);

private:
    void reportPending();

    bool isCurrent(const Unit* unit) const; // still the registry's unit at its address

    UnitsRepository* m_repository = nullptr; // none: every unit is current
    QVector<QPointer<Unit>> m_pending;
};

// "bts/<bt>/version": the firmware of a wireless button module.
class BTVersionMqttReporter : public MqttReporter
{
    Q_OBJECT
public:
    using MqttReporter::MqttReporter;

    void report(const BT& bt);
};

// "calls/<id>": a call of the call queue, as long as it is there.
class CallQueueMqttReporter : public MqttReporter
{
    Q_OBJECT
public:
    using MqttReporter::MqttReporter;

    void report(const Call& call);
    void clear(qint64 id);
};

// "callsHistory/<id>": a finished call, kept at the broker for good.
class CallHistoryMqttReporter : public MqttReporter
{
    Q_OBJECT
public:
    using MqttReporter::MqttReporter;

    void report(const Call& call);
};

// "errors/<id>": an error event, once when it starts and once when it ends.
class ErrorHistoryMqttReporter : public MqttReporter
{
    Q_OBJECT
public:
    ErrorHistoryMqttReporter(ErrorEvents* events, MqttPublisher* publisher, QObject* parent = nullptr);

    void report(const ErrorEvent& event);
};

// "synthesizerRequests/<port>": tells the message assembly service which
// message to play where, and when to stop.
class SynthesizerMqttReporter : public MqttReporter
{
    Q_OBJECT
public:
    SynthesizerMqttReporter(CallLimitsSettings* callLimits, LanguageSettings* language,
                            MqttPublisher* publisher, QObject* parent = nullptr);

    void reportStarted(const SynthesizedMessage& message);
    // The stop, then the topic's removal: the request is over.
    void reportStopped(const SynthesizedMessage& message);

private:
    CallLimitsSettings* m_callLimits;
    LanguageSettings* m_language;
};
