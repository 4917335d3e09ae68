#include "busload.h"

#include "simwire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

int64_t monotonicUs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// "AckNo:<n>" or "MsgNo:<n>" at the start of a datagram; -1 when absent.
int leadingNumber(const char* data, ssize_t size, const char* key)
{
    const ssize_t keyLength = ssize_t(std::strlen(key));
    if (size <= keyLength || std::memcmp(data, key, size_t(keyLength)) != 0)
        return -1;
    int number = 0;
    ssize_t i = keyLength;
    for (; i < size && data[i] >= '0' && data[i] <= '9' && number < 1000; ++i)
        number = number * 10 + (data[i] - '0');
    return i > keyLength ? number : -1;
}

} // namespace

BusLoad::Result& BusLoad::Result::operator+=(const Result& other)
{
    seconds += other.seconds;
    acknowledged += other.acknowledged;
    resent += other.resent;
    wrongAcks += other.wrongAcks;
    coreCommands += other.coreCommands;
    return *this;
}

BusLoad::BusLoad(const Options& options)
    : m_options(options)
{
    m_options.window = qBound(1, m_options.window, 128);
    for (int n = 0; n < 256; ++n) {
        m_commands.append(SimWire::command(n, m_options.command, m_options.payload));
        m_acks.append(SimWire::ack(n, 0));
    }
}

BusLoad::~BusLoad()
{
    for (const Unit& unit : qAsConst(m_units)) {
        if (unit.fd >= 0)
            ::close(unit.fd);
    }
    if (m_epoll >= 0)
        ::close(m_epoll);
}

bool BusLoad::open(QString* error)
{
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_units.resize(m_options.units);
    for (int i = 0; i < m_units.size(); ++i) {
        Unit& unit = m_units[i];
        unit.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in own{};
        own.sin_family = AF_INET;
        own.sin_port = htons(m_options.port);
        // 127.0.1.1, 127.0.1.2, ...: the addresses the simulator generates.
        own.sin_addr.s_addr = htonl((127u << 24) + 256u + quint32(i + 1));
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(m_options.port);
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (unit.fd < 0 || ::bind(unit.fd, reinterpret_cast<sockaddr*>(&own), sizeof own) != 0
            || ::connect(unit.fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
            if (error)
                *error = QStringLiteral("unit %1: %2").arg(i + 1).arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u32 = quint32(i);
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, unit.fd, &event);
    }
    return true;
}

void BusLoad::sendCommand(Unit& unit, int number)
{
    const QByteArray& datagram = m_commands.at(number);
    ::send(unit.fd, datagram.constData(), size_t(datagram.size()), 0);
}

BusLoad::Result BusLoad::run(int warmupMs, int measureMs)
{
    Result result;
    const int64_t start = monotonicUs();
    for (Unit& unit : m_units) {
        // Answers still on their way from an earlier run are stale: their
        // numbers are no longer outstanding, so they are dropped on arrival.
        std::fill(std::begin(unit.outstanding), std::end(unit.outstanding), false);
        unit.inFlight = 0;
        unit.lastProgressUs = start;
        while (unit.inFlight < m_options.window) {
            const int number = unit.nextNumber;
            unit.nextNumber = (number + 1) % 256;
            unit.outstanding[number] = true;
            ++unit.inFlight;
            sendCommand(unit, number);
        }
    }

    const int64_t countFrom = start + int64_t(warmupMs) * 1000;
    const int64_t stopAt = countFrom + int64_t(measureMs) * 1000;
    int64_t nextResendCheck = start;
    epoll_event events[64];
    for (;;) {
        const int64_t now = monotonicUs();
        if (now >= stopAt)
            break;
        if (now >= nextResendCheck) {
            resendStalled(now, result);
            nextResendCheck = now + 50000;
        }
        const int ready = epoll_wait(m_epoll, events, 64, 20);
        const bool counting = monotonicUs() >= countFrom;
        for (int i = 0; i < ready; ++i)
            receiveAll(m_units[int(events[i].data.u32)], counting, result);
    }
    result.seconds = measureMs / 1000.0;
    return result;
}

void BusLoad::receiveAll(Unit& unit, bool counting, Result& result)
{
    char buffer[2048];
    for (;;) {
        const ssize_t size = ::recv(unit.fd, buffer, sizeof buffer, 0);
        if (size < 0)
            return;
        const int acked = leadingNumber(buffer, size, "AckNo:");
        if (acked >= 0) {
            if (acked > 255 || !unit.outstanding[acked])
                continue; // a late answer to a command we sent again
            const QByteArray& expected = m_acks.at(acked);
            if (size != expected.size() || std::memcmp(buffer, expected.constData(), size_t(size)) != 0)
                ++result.wrongAcks;
            unit.outstanding[acked] = false;
            --unit.inFlight;
            if (counting)
                ++result.acknowledged;
            unit.lastProgressUs = monotonicUs();
            const int number = unit.nextNumber;
            unit.nextNumber = (number + 1) % 256;
            unit.outstanding[number] = true;
            ++unit.inFlight;
            sendCommand(unit, number);
            continue;
        }
        // The core may probe the unit or ask it something: answer as a unit
        // would, so that it keeps the unit for responding.
        if (size == 4 && std::memcmp(buffer, "Ping", 4) == 0) {
            ::send(unit.fd, "OK", 2, 0);
            continue;
        }
        const int commandNo = leadingNumber(buffer, size, "MsgNo:");
        if (commandNo >= 0) {
            const QByteArray ack = SimWire::ack(commandNo, 0);
            ::send(unit.fd, ack.constData(), size_t(ack.size()), 0);
            ++result.coreCommands;
        }
    }
}

void BusLoad::resendStalled(int64_t nowUs, Result& result)
{
    const int64_t limit = int64_t(m_options.resendAfterMs) * 1000;
    for (Unit& unit : m_units) {
        if (unit.inFlight == 0 || nowUs - unit.lastProgressUs < limit)
            continue;
        unit.lastProgressUs = nowUs;
        for (int number = 0; number < 256; ++number) {
            if (unit.outstanding[number]) {
                sendCommand(unit, number);
                ++result.resent;
            }
        }
    }
}
