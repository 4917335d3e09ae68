#pragma once

#include "rondel/command.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// Turns the text of an accepted datagram into the record of one command.
// parse() gets the whole datagram, header lines included, with line ends
// already normalised to "\n". It builds a new record every time (a
// fragment never adds to an earlier one); on success it stores the command
// and returns 0, on failure it returns the error number for the
// acknowledgement and keeps the previous command.
class CommandParser : public QObject
{
    Q_OBJECT
public:
    CommandParser(const QString& name, QObject* parent);

    QString name() const { return m_name; }
    Command command() const { return m_command; }
    void setCommand(const Command& command) { m_command = command; }

    virtual int parse(const QByteArray& text) = 0;

protected:
    // Stores Command(name) carrying the record; returns 0.
    int accept(const QVariant& record);

private:
    QString m_name;
    Command m_command;
};

class BTParser : public CommandParser
{
    Q_OBJECT
public:
    explicit BTParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class BasicInfoParser : public CommandParser
{
    Q_OBJECT
public:
    explicit BasicInfoParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class CallStatusParser : public CommandParser
{
    Q_OBJECT
public:
    explicit CallStatusParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;

protected:
    CallStatusParser(const QString& name, QObject* parent);
};

class CallChangeParser : public CallStatusParser
{
    Q_OBJECT
public:
    explicit CallChangeParser(QObject* parent = nullptr);
};

class ConfigParser : public CommandParser
{
    Q_OBJECT
public:
    explicit ConfigParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class DialCallParser : public CommandParser
{
    Q_OBJECT
public:
    explicit DialCallParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class FM1StatusParser : public CommandParser
{
    Q_OBJECT
public:
    explicit FM1StatusParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
    int tuner() const { return m_tuner; }

protected:
    FM1StatusParser(const QString& name, int tuner, QObject* parent);

private:
    int m_tuner;
};

class FM2StatusParser : public FM1StatusParser
{
    Q_OBJECT
public:
    explicit FM2StatusParser(QObject* parent = nullptr);
};

class NotificationsParser : public CommandParser
{
    Q_OBJECT
public:
    explicit NotificationsParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class PMBConfigBTParser : public CommandParser
{
    Q_OBJECT
public:
    explicit PMBConfigBTParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class PMBInfoParser : public CommandParser
{
    Q_OBJECT
public:
    explicit PMBInfoParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class PresenceStatusParser : public CommandParser
{
    Q_OBJECT
public:
    explicit PresenceStatusParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class RequestsParser : public CommandParser
{
    Q_OBJECT
public:
    explicit RequestsParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;
};

class ConnectionStatusParser : public CommandParser
{
    Q_OBJECT
public:
    explicit ConnectionStatusParser(QObject* parent = nullptr);
    int parse(const QByteArray& text) override;

protected:
    ConnectionStatusParser(const QString& name, QObject* parent);

    // A change names only what changed: the states it leaves out must stay
    // recognisable (NotSet) rather than read as "Disconnect".
    bool m_unreportedNotSet = false;
};

class ConnectionChangeParser : public ConnectionStatusParser
{
    Q_OBJECT
public:
    explicit ConnectionChangeParser(QObject* parent = nullptr);
};
