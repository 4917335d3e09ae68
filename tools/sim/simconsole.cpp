#include "simconsole.h"

#include "simulator.h"

#include <QRegularExpression>
#include <QTimer>

namespace {

constexpr int LongestWait = 3600000; // ms

const QRegularExpression CallCode(QStringLiteral("^(VS|VK|AL|DC|NV[1-8])$"));

struct Form
{
    QString usage;
    int least = 1; // words, the command included
    int most = 1;
};

Form formOf(const QString& command)
{
    static const QMap<QString, Form> forms{
        {"call", {"call IP VS|VK|AL|NVn|DC NUMBER", 3, 4}},
        {"cancel", {"cancel IP [CODE]", 2, 3}},
        {"answer", {"answer IP", 2, 2}},
        {"hangup", {"hangup IP", 2, 2}},
        {"presence", {"presence IP PP|PS on|off", 4, 4}},
        {"pa", {"pa IP", 2, 2}},
        {"door", {"door IP", 2, 2}},
        {"mode", {"mode IP day|night", 3, 3}},
        {"unplug", {"unplug IP", 2, 2}},
        {"plug", {"plug IP", 2, 2}},
        {"restart", {"restart IP", 2, 2}},
        {"show", {"show [IP]", 1, 2}},
        {"wait", {"wait MS", 2, 2}},
        {"help", {"help", 1, 1}},
        {"quit", {"quit", 1, 1}},
    };
    return forms.value(command);
}

} // namespace

SimConsole::SimConsole(Simulator* simulator, QObject* parent)
    : QObject(parent)
    , m_simulator(simulator)
{
}

QString SimConsole::help()
{
    return QStringLiteral(
        "call IP VS|VK|AL|NVn|DC NUMBER  press a call button (NV1..NV8), or dial NUMBER\n"
        "cancel IP [CODE]                release a call, or every call of the unit\n"
        "answer IP                       answer the call that rings at the unit\n"
        "hangup IP                       end the unit's talk\n"
        "presence IP PP|PS on|off        register or clear a staff presence\n"
        "pa IP                           start a public address, or stop it\n"
        "door IP                         ask for the entrance door to open\n"
        "mode IP day|night               switch the unit's ward to day or night\n"
        "unplug IP / plug IP             take the unit off the bus and back\n"
        "restart IP                      restart the unit: it reports itself anew\n"
        "show [IP]                       what every unit (or one unit) shows and holds\n"
        "wait MS                         hold the next commands for MS milliseconds\n"
        "quit                            stop the simulator");
}

SimUnit* SimConsole::unitOf(const QString& ip, QString* error) const
{
    bool isIPv4 = false;
    const QHostAddress address(ip);
    address.toIPv4Address(&isIPv4);
    if (!isIPv4) {
        *error = QStringLiteral("'%1' is not a unit address").arg(ip);
        return nullptr;
    }
    SimUnit* unit = m_simulator->unit(address);
    if (!unit)
        *error = QStringLiteral("no simulated unit at %1").arg(address.toString());
    return unit;
}

SimConsole::Result SimConsole::execute(const QString& line)
{
    Result result;
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.first().startsWith(QLatin1Char('#')))
        return result;
    const QString command = words.first().toLower();
    const Form shape = formOf(command);
    const QString form = shape.usage;
    if (form.isEmpty()) {
        result.error = QStringLiteral("unknown command '%1' (try 'help')").arg(words.first());
        return result;
    }
    if (words.size() < shape.least || words.size() > shape.most) {
        result.error = QStringLiteral("usage: ") + form;
        return result;
    }

    if (command == QLatin1String("help")) {
        result.output = help().split(QLatin1Char('\n'));
        return result;
    }
    if (command == QLatin1String("quit")) {
        result.quit = true;
        return result;
    }
    if (command == QLatin1String("wait")) {
        bool ok = false;
        const int ms = words.at(1).toInt(&ok);
        if (!ok || ms < 0 || ms > LongestWait)
            result.error = QStringLiteral("'%1' is not a number of milliseconds (0 to %2)")
                               .arg(words.at(1))
                               .arg(LongestWait);
        else
            result.waitMs = ms;
        return result;
    }
    if (command == QLatin1String("show") && words.size() == 1) {
        for (const SimUnit* unit : m_simulator->units())
            result.output.append(unit->summary());
        return result;
    }

    SimUnit* unit = unitOf(words.at(1), &result.error);
    if (!unit)
        return result;
    if (command == QLatin1String("show")) {
        result.output = unit->details();
        return result;
    }
    if (command == QLatin1String("plug")) {
        unit->plug();
        result.output.append(unit->label() + QStringLiteral(": plugged in"));
        return result;
    }
    if (!unit->isPlugged()) {
        result.error = QStringLiteral("%1 is unplugged (plug it in first)").arg(unit->ip().toString());
        return result;
    }

    const QString said = unit->label() + QStringLiteral(": ");
    if (command == QLatin1String("call")) {
        const QString code = words.value(2).toUpper();
        const bool dial = code == QLatin1String("DC");
        if (!CallCode.match(code).hasMatch() || dial != (words.size() == 4)) {
            result.error = QStringLiteral("usage: ") + form;
            return result;
        }
        unit->raiseCall(code, words.value(3));
        result.output.append(said + (dial ? QStringLiteral("dials ") + words.at(3)
                                          : QStringLiteral("presses ") + code));
    } else if (command == QLatin1String("cancel")) {
        const QString code = words.value(2).toUpper();
        if (!code.isEmpty() && !CallCode.match(code).hasMatch()) {
            result.error = QStringLiteral("'%1' is not a call code (VS, VK, AL, NV1..NV8, DC)")
                               .arg(words.at(2));
            return result;
        }
        if (!unit->cancelCall(code)) {
            result.error = QStringLiteral("%1 has no call to cancel").arg(unit->ip().toString());
            return result;
        }
        result.output.append(said + QStringLiteral("cancels ") + (code.isEmpty() ? "its calls" : code));
    } else if (command == QLatin1String("presence")) {
        const QString kind = words.at(2).toUpper();
        const QString state = words.at(3).toLower();
        if ((kind != QLatin1String("PP") && kind != QLatin1String("PS"))
            || (state != QLatin1String("on") && state != QLatin1String("off"))) {
            result.error = QStringLiteral("usage: ") + form;
            return result;
        }
        unit->setPresence(kind, state == QLatin1String("on"));
        result.output.append(said + QStringLiteral("presence %1 %2").arg(kind, state));
    } else if (command == QLatin1String("answer")) {
        unit->answer();
        result.output.append(said + QStringLiteral("answers"));
    } else if (command == QLatin1String("hangup")) {
        unit->hangUp();
        result.output.append(said + QStringLiteral("hangs up"));
    } else if (command == QLatin1String("pa")) {
        result.output.append(said + (unit->togglePA() ? QStringLiteral("starts a public address")
                                                      : QStringLiteral("ends its public address")));
    } else if (command == QLatin1String("door")) {
        unit->openDoor();
        result.output.append(said + QStringLiteral("asks for the door"));
    } else if (command == QLatin1String("mode")) {
        const QString mode = words.at(2).toLower();
        if (mode != QLatin1String("day") && mode != QLatin1String("night")) {
            result.error = QStringLiteral("usage: ") + form;
            return result;
        }
        unit->requestMode(mode == QLatin1String("night"));
        result.output.append(said + QStringLiteral("asks for ") + mode);
    } else if (command == QLatin1String("unplug")) {
        unit->unplug();
        result.output.append(said + QStringLiteral("unplugged"));
    } else if (command == QLatin1String("restart")) {
        unit->restart();
        result.output.append(said + QStringLiteral("restarts"));
    }
    return result;
}

void SimConsole::feed(const QString& line)
{
    m_queue.append(line);
    if (!m_waiting)
        runQueue();
}

void SimConsole::runQueue()
{
    while (!m_queue.isEmpty()) {
        const Result result = execute(m_queue.takeFirst());
        for (const QString& line : result.output)
            emit output(line);
        if (!result.error.isEmpty())
            emit error(QStringLiteral("error: ") + result.error);
        if (result.quit) {
            m_queue.clear();
            emit quitRequested();
            return;
        }
        if (result.waitMs > 0) {
            m_waiting = true;
            QTimer::singleShot(result.waitMs, this, [this] {
                m_waiting = false;
                runQueue();
            });
            return;
        }
    }
    emit idle();
}
