#include "synthesizer/synthesizer.h"

#include <QVariantMap>

namespace {
const int registered = [] {
    qRegisterMetaType<SynthesizedMessage>();
    return 0;
}();
} // namespace

Synthesizer::Synthesizer(QObject* parent)
    : QObject(parent)
{
}

QString Synthesizer::typeName(int type)
{
    switch (type) {
    case Fixed: return QStringLiteral("Fixed");
    case Fragmented: return QStringLiteral("Fragmented");
    default: return QStringLiteral("NotSet");
    }
}

void Synthesizer::loadSettings(const QVariant& section)
{
    const QVariantMap map = section.toMap();
    const auto it = map.constFind(QStringLiteral("type"));
    if (it != map.constEnd()) {
        const QString word = it->toString();
        if (word == QLatin1String("Fixed"))
            m_type = Fixed;
        else if (word == QLatin1String("Fragments"))
            m_type = Fragmented;
        else
            m_type = NotSet;
    }
    if (m_type == NotSet)
        m_type = Fixed;
}

void Synthesizer::checkLanguages(const QVariant& assemblemsgConfig, const QString& language)
{
    if (m_type == Fixed)
        return;
    const QVariantMap map = assemblemsgConfig.toMap();
    const auto it = map.constFind(QStringLiteral("languages"));
    if (it != map.constEnd()) {
        for (const QVariant& offered : it->toList()) {
            if (offered.toString() == language)
                return;
        }
    }
    m_type = Fixed;
}

quint16 Synthesizer::freePort() const
{
    for (quint32 port = FirstPort; port < PortLimit; port += 2) {
        if (!m_ports.contains(static_cast<quint16>(port)))
            return static_cast<quint16>(port);
    }
    return 0;
}

void Synthesizer::start(const SynthesizedMessage& message)
{
    m_ports.insert(message.port);
    m_messages.insert(message.port, message);
    emit messageStarted(message);
}

void Synthesizer::stop(quint16 port)
{
    const auto it = m_messages.find(port);
    if (it == m_messages.end())
        return;
    const SynthesizedMessage message = *it;
    m_messages.erase(it);
    m_ports.remove(port);
    emit messageStoped(message);
}
