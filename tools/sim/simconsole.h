#pragma once

#include <QObject>
#include <QStringList>

class Simulator;
class SimUnit;

// The simulator's control language, one command per line:
//
//   call IP VS|VK|AL|NVn|DC NUMBER   cancel IP [CODE]   answer IP   hangup IP
//   presence IP PP|PS on|off   pa IP   door IP   mode IP day|night
//   unplug IP   plug IP   restart IP   show [IP]   wait MS   help   quit
//
// Lines fed to it run in order; "wait" holds back the lines after it while
// the event loop keeps the units running. A bad line is answered with one
// error line and the next line runs.
class SimConsole : public QObject
{
    Q_OBJECT
public:
    struct Result
    {
        QStringList output;
        QString error;   // empty when the line was good
        int waitMs = 0;  // a "wait" line
        bool quit = false;
    };

    explicit SimConsole(Simulator* simulator, QObject* parent = nullptr);

    // Runs one line at once; a "wait" only reports its delay.
    Result execute(const QString& line);

    // Queues a line to run after those fed before it.
    void feed(const QString& line);
    bool isIdle() const { return m_queue.isEmpty() && !m_waiting; }

    static QString help();

signals:
    void output(const QString& line);
    void error(const QString& line);
    // Every fed line has run.
    void idle();
    void quitRequested();

private:
    void runQueue();
    SimUnit* unitOf(const QString& ip, QString* error) const;

    Simulator* m_simulator;
    QStringList m_queue;
    bool m_waiting = false;
};
