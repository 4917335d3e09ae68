#pragma once

#include <QHash>
#include <QPair>
#include <QString>
#include <QVariant>

// Microphone and speaker volumes of a voice connection, keyed by the audio
// types of the two ends (own end first). Built-in values, overridable entry
// by entry from the configuration's "volumes" section.
class TalkVolumes
{
public:
    using Table = QHash<QPair<QString, QString>, int>;

    TalkVolumes();

    // Applies the "mic" and "speaker" lists of the section. Entries it does
    // not mention keep their current values.
    void load(const QVariant& section);

    // 0 for a pair without an entry.
    int mic(const QString& source, const QString& target) const;
    int speaker(const QString& source, const QString& target) const;

    const Table& micTable() const { return m_mic; }
    const Table& speakerTable() const { return m_speaker; }

private:
    Table m_mic;
    Table m_speaker;
};
