#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>

// The raw bus load of the throughput benchmark: count units on
// 127.0.1.1, 127.0.1.2, ... each keep window commands in flight towards
// one target (the core, or the bare responder) and send the next one as
// soon as one is acknowledged. It plays the unit side with plain sockets and
// one epoll loop, so that the generator costs less than what it measures;
// the datagram bytes come from the simulator's wire code.
class BusLoad
{
public:
    struct Options
    {
        int units = 10;
        int window = 16;           // commands in flight per unit
        quint16 port = 0;          // the target's port; units bind the same one
        QString command = QStringLiteral("PresenceStatus");
        QString payload = QStringLiteral("PS:0\nPP:0");
        int resendAfterMs = 300;   // a lost datagram is sent again after this
    };

    struct Result
    {
        double seconds = 0;
        quint64 acknowledged = 0;  // acknowledgements of our commands, in the window
        quint64 resent = 0;        // commands sent again after a loss
        quint64 wrongAcks = 0;     // acknowledgements with unexpected bytes
        quint64 coreCommands = 0;  // commands of the core, acknowledged by us
        double rate() const { return seconds > 0 ? acknowledged / seconds : 0; }
        Result& operator+=(const Result& other);
    };

    explicit BusLoad(const Options& options);
    ~BusLoad();
    BusLoad(const BusLoad&) = delete;
    BusLoad& operator=(const BusLoad&) = delete;

    // Binds the units' sockets; false with error set when one cannot be bound.
    bool open(QString* error);
    // Drives the load for warmupMs, then counts for measureMs. Runs may be
    // repeated, alternating with the runs of another load.
    Result run(int warmupMs, int measureMs);

private:
    struct Unit
    {
        int fd = -1;
        int nextNumber = 0;
        int inFlight = 0;
        bool outstanding[256] = {};
        int64_t lastProgressUs = 0;
    };

    void sendCommand(Unit& unit, int number);
    void receiveAll(Unit& unit, bool counting, Result& result);
    void resendStalled(int64_t nowUs, Result& result);

    Options m_options;
    QVector<Unit> m_units;
    int m_epoll = -1;
    QVector<QByteArray> m_commands; // by message number
    QVector<QByteArray> m_acks;     // the acknowledgement we expect, by number
};
