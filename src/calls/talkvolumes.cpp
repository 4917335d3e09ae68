#include "calls/talkvolumes.h"

#include <QVariantList>
#include <QVariantMap>

namespace {

const QString TolvaBrisa = QStringLiteral("Tolva/Brisa");
const QString Melde = QStringLiteral("Melde");
const QString Pardo = QStringLiteral("Pardo");
const QString TolvaMtf = QStringLiteral("Tolva-MTF");
const QString Fenno = QStringLiteral("Fenno");
const QString Synth = QStringLiteral("SYNTH");
const QString PA = QStringLiteral("PA");

void setRow(TalkVolumes::Table& table, const QString& source,
            std::initializer_list<std::pair<const QString&, int>> row)
{
    for (const auto& entry : row)
        table.insert(qMakePair(source, entry.first), entry.second);
}

void apply(TalkVolumes::Table& table, const QVariant& list)
{
    const QString sourceKey = QStringLiteral("sourceType");
    for (const QVariant& element : list.toList()) {
        const QVariantMap map = element.toMap();
        if (!map.contains(sourceKey))
            continue;
        const QString source = map.value(sourceKey).toString();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (it.key() == sourceKey)
                continue;
            // A value that is no number leaves the entry as it was rather
            // than silencing that end of the talk.
            bool ok = false;
            const int volume = it.value().toInt(&ok);
            if (ok)
                table.insert(qMakePair(source, it.key()), volume);
        }
    }
}

} // namespace

TalkVolumes::TalkVolumes()
{
    setRow(m_mic, TolvaBrisa, {{TolvaBrisa, 53}, {Melde, 53}, {Pardo, 55}, {TolvaMtf, 60}, {Fenno, 60}});
    setRow(m_mic, Melde, {{TolvaBrisa, 53}, {Melde, 53}, {Pardo, 55}, {TolvaMtf, 60}, {Fenno, 60}});
    setRow(m_mic, Pardo, {{TolvaBrisa, 15}, {Melde, 15}, {Pardo, 30}, {TolvaMtf, 30}, {Fenno, 20}});
    setRow(m_mic, TolvaMtf, {{TolvaBrisa, 60}, {Melde, 60}, {Pardo, 60}, {TolvaMtf, 60}, {Fenno, 60}});
    setRow(m_mic, Fenno,
           {{TolvaBrisa, 58}, {Melde, 58}, {Pardo, 57}, {TolvaMtf, 58}, {Fenno, 40}, {PA, 50}});

    setRow(m_speaker, TolvaBrisa,
           {{TolvaBrisa, 53}, {Melde, 53}, {Pardo, 57}, {TolvaMtf, 60}, {Fenno, 60}, {Synth, 54},
            {PA, 79}});
    setRow(m_speaker, Melde,
           {{TolvaBrisa, 53}, {Melde, 53}, {Pardo, 57}, {TolvaMtf, 60}, {Fenno, 60}, {Synth, 54}});
    setRow(m_speaker, Pardo,
           {{TolvaBrisa, 220}, {Melde, 220}, {Pardo, 197}, {TolvaMtf, 220}, {Fenno, 250},
            {Synth, 220}});
    setRow(m_speaker, TolvaMtf,
           {{TolvaBrisa, 60}, {Melde, 60}, {Pardo, 49}, {TolvaMtf, 60}, {Fenno, 60}, {Synth, 79}});
    setRow(m_speaker, Fenno,
           {{TolvaBrisa, 40}, {Melde, 40}, {Pardo, 30}, {TolvaMtf, 40}, {Fenno, 50}, {Synth, 60}});
}

void TalkVolumes::load(const QVariant& section)
{
    // Copies of this table handed out earlier keep their values.
    m_mic.detach();
    m_speaker.detach();
    const QVariantMap map = section.toMap();
    apply(m_mic, map.value(QStringLiteral("mic")));
    apply(m_speaker, map.value(QStringLiteral("speaker")));
}

int TalkVolumes::mic(const QString& source, const QString& target) const
{
    return m_mic.value(qMakePair(source, target), 0);
}

int TalkVolumes::speaker(const QString& source, const QString& target) const
{
    return m_speaker.value(qMakePair(source, target), 0);
}
