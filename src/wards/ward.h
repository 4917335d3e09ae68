#pragma once

#include <QObject>
#include <QString>

// A ward of the hospital. Its day/night mode and its connection with the
// other wards of its group are runtime state, kept across restarts.
class Ward : public QObject
{
    Q_OBJECT
public:
    enum Mode { NotSet = 0, Night = 1, Day = 2 };

    explicit Ward(const QString& id, QObject* parent = nullptr);

    // The placeholder answered by every lookup that finds nothing: id
    // "none", name "Unknown ward". Created on first use, never deleted.
    static Ward* unknownWard();
    bool isUnknown() const { return this == unknownWard(); }

    const QString& id() const { return m_id; }
    const QString& name() const { return m_name; }
    const QString& abbrev() const { return m_abbrev; }
    const QString& group() const { return m_group; }
    int mode() const { return m_mode; }
    bool isConnected() const { return m_connected; }
    bool isDay() const { return m_mode == Day; }

    void setName(const QString& name) { m_name = name; }
    void setAbbrev(const QString& abbrev) { m_abbrev = abbrev; }
    void setGroup(const QString& group) { m_group = group; }
    void setMode(int mode) { m_mode = mode; }
    void setConnected(bool connected) { m_connected = connected; }

    // "Day", "Night" or "NotSet"; the reverse ignores letter case and gives
    // NotSet for any other word.
    static QString modeName(int mode);
    static int modeFromName(const QString& name);

private:
    QString m_id;
    QString m_name;
    QString m_abbrev;
    QString m_group;
    int m_mode = Day;
    bool m_connected = false;
};
