#pragma once

#include <QObject>
#include <QSet>

// The audio ports of the public-address streams that run now. A port is
// handed out by allocate() and only counts as taken once it is inserted,
// when the stream has been set up.
class PAs : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 FirstPort = 12300;
    static constexpr quint16 PortLimit = 14300;

    explicit PAs(QObject* parent = nullptr);

    // The lowest free even port from FirstPort below PortLimit, 0 when
    // every one is taken.
    quint16 allocate() const;
    void insert(quint16 port) { m_ports.insert(port); }
    void remove(quint16 port) { m_ports.remove(port); }
    bool contains(quint16 port) const { return m_ports.contains(port); }

private:
    QSet<quint16> m_ports;
};
