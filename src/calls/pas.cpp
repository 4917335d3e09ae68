#include "calls/pas.h"

PAs::PAs(QObject* parent)
    : QObject(parent)
{
}

quint16 PAs::allocate() const
{
    for (quint32 port = FirstPort; port < PortLimit; port += 2) {
        if (!m_ports.contains(quint16(port)))
            return quint16(port);
    }
    return 0;
}
