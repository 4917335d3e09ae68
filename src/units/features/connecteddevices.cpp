#include "units/features/connecteddevices.h"

namespace {

QString nvName(int index)
{
    return QStringLiteral("NV%1").arg(index + 1);
}

bool isConnected(int state)
{
    return state == ConnectionStatus::Connect;
}

} // namespace

ConnectedDevices::ConnectedDevices(QObject* parent)
    : QObject(parent)
{
}

int ConnectedDevices::nvState(int number) const
{
    return number >= 1 && number <= NVCount ? m_state.nv[number - 1] : 0;
}

void ConnectedDevices::reset()
{
    m_state = State();
    m_awaitingFullStatus = true;
}

void ConnectedDevices::statusReceived(const ConnectionStatus& status)
{
    // A full status describes everything: what it leaves out is not there.
    const auto known = [](int state) {
        return state == ConnectionStatus::NotSet ? int(ConnectionStatus::Disconnect) : state;
    };
    State state;
    state.mtf = status.mtf < 0 ? 0 : status.mtf;
    state.sv = known(status.sv);
    state.oez = known(status.oez);
    for (int i = 0; i < NVCount; ++i)
        state.nv[i] = known(status.nv.value(nvName(i), ConnectionStatus::NotSet));
    // A full status does not end the wait after a reset; the first change
    // does, by asking once more, so that what it signals is measured against
    // a status at least as new as the change itself.
    replace(state);
}

void ConnectedDevices::changeReceived(const ConnectionStatus& change)
{
    // After a reset the stored state is a guess; a change applied to it
    // would signal devices that never changed. Ask for the truth instead.
    if (m_awaitingFullStatus) {
        m_awaitingFullStatus = false;
        emit requestConnectionStatus();
        return;
    }
    State state;
    state.mtf = change.mtf >= 0 ? change.mtf : m_state.mtf;
    state.sv = change.sv != ConnectionStatus::NotSet ? change.sv : m_state.sv;
    state.oez = change.oez != ConnectionStatus::NotSet ? change.oez : m_state.oez;
    for (int i = 0; i < NVCount; ++i) {
        const int nv = change.nv.value(nvName(i), ConnectionStatus::NotSet);
        state.nv[i] = nv != ConnectionStatus::NotSet ? nv : m_state.nv[i];
    }
    replace(state);
}

void ConnectedDevices::replace(const State& state)
{
    const State old = m_state;
    m_state = state;

    bool changed = false;
    if (old.mtf == 0 && state.mtf != 0) {
        emit mtfConnected();
        changed = true;
    } else if (old.mtf != 0 && state.mtf == 0) {
        emit mtfDisconnected();
        changed = true;
    } else if (old.mtf != state.mtf) {
        emit mtfChanged();
        changed = true;
    }
    if (!isConnected(old.sv) && isConnected(state.sv)) {
        emit svConnected();
        changed = true;
    } else if (isConnected(old.sv) && !isConnected(state.sv)) {
        emit svDisconnected();
        changed = true;
    }
    if (!isConnected(old.oez) && isConnected(state.oez)) {
        emit oezConnected();
        changed = true;
    } else if (isConnected(old.oez) && !isConnected(state.oez)) {
        emit oezDisconnected();
        changed = true;
    }
    for (int i = 0; i < NVCount; ++i) {
        if (!isConnected(old.nv[i]) && isConnected(state.nv[i])) {
            emit nvxConnected(nvName(i));
            changed = true;
        } else if (isConnected(old.nv[i]) && !isConnected(state.nv[i])) {
            emit nvxDisconnected(nvName(i));
            changed = true;
        }
    }
    if (changed)
        emit connectionChanged();
}
