#pragma once

#include "synthesizer/synthesizedmessage.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>

// Bookkeeping of synthesized voice messages: the synthesizer mode, the
// audio ports in use and the messages playing on them. The speech itself
// is produced by the message assembly service, told by the signals.
class Synthesizer : public QObject
{
    Q_OBJECT
public:
    enum Type { NotSet = 0, Fixed = 1, Fragmented = 2 };

    static constexpr quint16 FirstPort = 10100;
    static constexpr quint16 PortLimit = 12100;

    explicit Synthesizer(QObject* parent = nullptr);

    // The "synthesizer" section: "type" "Fixed" or "Fragments" (exact
    // case); anything else means fixed. Without "type" the mode stays.
    void loadSettings(const QVariant& section);
    // Fragmented messages only when the message assembly configuration
    // offers the language; otherwise fixed.
    void checkLanguages(const QVariant& assemblemsgConfig, const QString& language);

    int type() const { return m_type; }
    bool isFragmented() const { return m_type == Fragmented; }
    // "Fixed", "Fragmented" or "NotSet".
    static QString typeName(int type);

    // The lowest free even port from 10100 below 12100, or 0 when all are
    // in use.
    quint16 freePort() const;
    void start(const SynthesizedMessage& message);
    void stop(quint16 port);

    bool isPlaying(quint16 port) const { return m_messages.contains(port); }

signals:
    void messageStarted(const SynthesizedMessage& message);
    void messageStoped(const SynthesizedMessage& message);

private:
    int m_type = Fixed;
    QSet<quint16> m_ports;
    QHash<quint16, SynthesizedMessage> m_messages;
};
