#pragma once

#include "rondel/records.h"

#include <QObject>
#include <QString>

// What is plugged into a unit: the MTF handset, the SV light module, the
// OEZ and the devices on the sockets NV1..NV8. Signals every change.
class ConnectedDevices : public QObject
{
    Q_OBJECT
public:
    static constexpr int NVCount = 8;

    explicit ConnectedDevices(QObject* parent = nullptr);

    // Forgets everything; the next change waits for a full status instead.
    void reset();
    // "ConnectionStatus": the whole state, absent fields disconnected.
    void statusReceived(const ConnectionStatus& status);
    // "ConnectionChange": only the fields the unit reported.
    void changeReceived(const ConnectionStatus& change);

    // 0 when no handset is plugged in.
    int mtfCode() const { return m_state.mtf; }
    bool hasMtf() const { return m_state.mtf != 0; }
    // True for a handset whose code lies in 128..159.
    bool isSpecialMtf() const { return m_state.mtf >= 128 && m_state.mtf <= 159; }
    int svState() const { return m_state.sv; }
    int oezState() const { return m_state.oez; }
    // number 1..8; 0 for any other number.
    int nvState(int number) const;
    bool isSVConnected() const { return m_state.sv == ConnectionStatus::Connect; }
    bool isOEZConnected() const { return m_state.oez == ConnectionStatus::Connect; }
    bool isNVConnected(int number) const { return nvState(number) == ConnectionStatus::Connect; }
    bool isAwaitingFullStatus() const { return m_awaitingFullStatus; }

signals:
    void connectionChanged();
    void mtfConnected();
    void mtfDisconnected();
    void mtfChanged();
    void svConnected();
    void svDisconnected();
    void oezConnected();
    void oezDisconnected();
    void nvxConnected(const QString& nvx);
    void nvxDisconnected(const QString& nvx);
    void requestConnectionStatus();

private:
    struct State
    {
        int mtf = 0;
        int sv = ConnectionStatus::Disconnect;
        int oez = ConnectionStatus::Disconnect;
        int nv[NVCount] = {0, 0, 0, 0, 0, 0, 0, 0};
    };

    void replace(const State& state);

    State m_state;
    bool m_awaitingFullStatus = false;
};
