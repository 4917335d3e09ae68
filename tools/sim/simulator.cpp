#include "simulator.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

// What the core shows for a unit whose room or ward it does not know.
const QString UnknownWard = QStringLiteral("Unknown ward");
const QString UnknownRoom = QStringLiteral("Unknown room");

constexpr int UnitsPerRoom = 2;
constexpr int RoomsPerWard = 25;

QString text(const QVariantMap& map, const char* key)
{
    return map.value(QLatin1String(key)).toString().trimmed();
}

} // namespace

Simulator::Simulator(QObject* parent)
    : QObject(parent)
{
}

QString Simulator::roomKey(const QString& ward, const QString& roomNo, const QString& room)
{
    return ward + QLatin1Char('\n') + roomNo + QLatin1Char('\n') + room;
}

void Simulator::load(const QVariantMap& config, QStringList* problems)
{
    QHash<QString, QString> wardNames;
    for (const QVariant& w : config.value(QStringLiteral("wards")).toList()) {
        const QVariantMap ward = w.toMap();
        wardNames.insert(text(ward, "_id"), ward.value(QStringLiteral("name")).toString());
    }
    QHash<QString, QVariantMap> rooms;
    for (const QVariant& r : config.value(QStringLiteral("rooms")).toList())
        rooms.insert(text(r.toMap(), "_id"), r.toMap());

    const QVariantList entries = config.value(QStringLiteral("units")).toList();
    for (int i = 0; i < entries.size(); ++i) {
        const QVariantMap entry = entries.at(i).toMap();
        const QString id = text(entry, "_id");
        bool isIPv4 = false;
        const QHostAddress ip(id);
        ip.toIPv4Address(&isIPv4);
        const SimModel model = SimModel::byName(text(entry, "type"));
        QString problem;
        if (!isIPv4)
            problem = QStringLiteral("unit %1: '%2' is not an IPv4 address").arg(i + 1).arg(id);
        else if (!model.isValid())
            problem = QStringLiteral("unit %1: unknown model '%2'").arg(id, text(entry, "type"));
        else if (m_byIp.contains(ip.toIPv4Address()))
            problem = QStringLiteral("unit %1: listed twice, the first entry is used").arg(id);
        if (!problem.isEmpty()) {
            if (problems)
                problems->append(problem);
            continue;
        }

        SimPlace place;
        const QVariantMap room = rooms.value(text(entry, "room"));
        place.room = room.value(QStringLiteral("name")).toString();
        place.roomNo = room.value(QStringLiteral("number")).toInt();
        place.ward = wardNames.value(text(room, "ward"));
        place.bed = entry.value(QStringLiteral("bed")).toInt();
        place.client = entry.value(QStringLiteral("clientName")).toString();

        auto* unit = new SimUnit(ip, model, place, this);
        unit->setDirectory(this);
        connect(unit, &SimUnit::changed, this, &Simulator::changed);
        m_units.append(unit);
        m_byIp.insert(ip.toIPv4Address(), unit);
        // Keyed as the core writes a unit's place on the screens of others.
        const bool known = !room.isEmpty();
        const QString ward = known && wardNames.contains(text(room, "ward")) ? place.ward
                                                                             : UnknownWard;
        m_byRoom[roomKey(ward, place.roomNo ? QString::number(place.roomNo) : QString(),
                         known ? place.room : UnknownRoom)]
            .append(unit);
    }
}

bool Simulator::loadFile(const QString& path, QStringList* problems, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *error = parseError.error != QJsonParseError::NoError
                     ? QStringLiteral("%1 is not valid JSON: %2 at offset %3")
                           .arg(path, parseError.errorString())
                           .arg(parseError.offset)
                     : QStringLiteral("%1 does not hold a JSON object").arg(path);
        return false;
    }
    load(document.object().toVariantMap(), problems);
    return true;
}

QVariantMap Simulator::generate(int count, const QString& model)
{
    const QStringList models = model.compare(QLatin1String("mixed"), Qt::CaseInsensitive) == 0
                                   ? SimModel::names()
                                   : QStringList{SimModel::byName(model).name};
    QVariantList wards;
    QVariantList rooms;
    QVariantList units;
    for (int i = 0; i < count; ++i) {
        const int room = i / UnitsPerRoom + 1;
        const int ward = (room - 1) / RoomsPerWard + 1;
        const int bed = i % UnitsPerRoom + 1;
        if (i % (UnitsPerRoom * RoomsPerWard) == 0) {
            wards.append(QVariantMap{{"_id", QStringLiteral("w%1").arg(ward)},
                                     {"name", QStringLiteral("Ward %1").arg(ward)},
                                     {"abbrev", QStringLiteral("W%1").arg(ward)},
                                     {"group", QStringLiteral("g%1").arg(ward)}});
        }
        if (i % UnitsPerRoom == 0) {
            rooms.append(QVariantMap{{"_id", QStringLiteral("r%1").arg(room)},
                                     {"name", QStringLiteral("Room %1").arg(room)},
                                     {"number", room},
                                     {"ward", QStringLiteral("w%1").arg(ward)}});
        }
        // 127.0.0.x is left to the core and hand-made installations.
        const QString ip = QStringLiteral("127.0.%1.%2").arg(1 + i / 254).arg(1 + i % 254);
        units.append(QVariantMap{{"_id", ip},
                                 {"type", models.at(i % models.size())},
                                 {"room", QStringLiteral("r%1").arg(room)},
                                 {"bed", bed},
                                 {"clientName", QStringLiteral("Bed %1/%2").arg(room).arg(bed)}});
    }
    const QVariantMap settings{
        {"language", QVariantMap{{"core", "cs-CZ"}}},
        {"synthesizer", QVariantMap{{"type", "none"}}},
        {"volumes", QVariantMap{{"mic", QVariantList()}, {"speaker", QVariantList()}}},
        {"callQueue",
         QVariantMap{{"maxCallDuration", 900}, {"maxTalkDuration", 180}, {"maxMuteDuration", 300}}},
        {"backlight", QVariantMap{{"day", 100}, {"night", 20}}},
    };
    return {{"settings", settings}, {"wards", wards},         {"rooms", rooms},
            {"units", units},       {"buttons", QVariantList()}, {"radios", QVariantList()}};
}

bool Simulator::writeConfig(const QString& path, const QVariantMap& config, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    file.write(QJsonDocument(QJsonObject::fromVariantMap(config)).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool Simulator::bind(const QHostAddress& core, quint16 port, QString* error)
{
    for (SimUnit* unit : qAsConst(m_units)) {
        if (!unit->bind(core, port, error))
            return false;
    }
    return true;
}

void Simulator::setRetryInterval(int ms)
{
    for (SimUnit* unit : qAsConst(m_units))
        unit->link()->setRetryInterval(ms);
}

const SimUnit* Simulator::unitShownBy(const SimFields& entry) const
{
    const QList<SimUnit*> inRoom =
        m_byRoom.value(roomKey(entry.value("Ward"), entry.value("RoomNo"), entry.value("Room")));
    if (inRoom.size() <= 1)
        return inRoom.value(0);
    // Several units share the room: the one with a call of the kind shown,
    // and among several such (or none) the one in the bed shown.
    const int bed = entry.value("BedNo").toInt();
    const QString letter = entry.value("Icon").trimmed().toUpper();
    QList<const SimUnit*> calling;
    for (const SimUnit* unit : inRoom) {
        if (!unit->ownCallShownAs(letter).isEmpty())
            calling.append(unit);
    }
    if (calling.size() == 1)
        return calling.first();
    const SimUnit* found = nullptr;
    for (const SimUnit* unit : calling.isEmpty() ? QList<const SimUnit*>(inRoom.cbegin(), inRoom.cend()) : calling) {
        if (unit->place().bed == bed) {
            if (found)
                return nullptr;
            found = unit;
        }
    }
    return found;
}
