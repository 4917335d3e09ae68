#include "config/configchecker.h"

#include "calls/talkvolumes.h"
#include "config/configloader.h"
#include "core/constants.h"
#include "core/jsonfile.h"
#include "core/runtimeoptions.h"
#include "units/settings/nvsettings.h"
#include "units/registry/unitsfactory.h"
#include "units/settings/corvisettings.h"
#include "units/settings/radiossettings.h"
#include "units/unit.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

#include <cmath>
#include <cstdio>

namespace {

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// A value as the file spells it: strings in quotation marks, numbers bare.
QString spelled(const QVariant& value)
{
    const QByteArray json = toJson(QVariantList{value});
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// Units are reached over IPv4 only; the short forms inet_aton takes ("10.1")
// would name an address nobody meant.
bool isIPv4(const QString& text)
{
    static const QRegularExpression dottedQuad(
        QStringLiteral("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    return dottedQuad.match(text).hasMatch()
        && QHostAddress(text).protocol() == QAbstractSocket::IPv4Protocol;
}

QString notValidLine(const QByteArray& content)
{
    if (content.trimmed().isEmpty())
        return QStringLiteral("Config file is not valid: the file is empty.");
    const QJsonParseError error = jsonParseError(content);
    // The parser reports the offset just past the character it stopped at.
    const int at = qMax(0, error.offset - 1);
    const QByteArray before = content.left(at);
    const int line = before.count('\n') + 1;
    const int column = at - (before.lastIndexOf('\n') + 1) + 1;
    return QStringLiteral("Config file is not valid: %1 at line %2, column %3.")
        .arg(error.errorString())
        .arg(line)
        .arg(column);
}

class Checker
{
public:
    QStringList findings;

    void check(const QVariantMap& config)
    {
        ConfigLoader::sections(config, &findings);
        const QVariantMap settings = config.value(QStringLiteral("settings")).toMap();
        checkShape(QString(), config, {"settings"}, QVariant::Map);
        checkShape(QStringLiteral("settings."), settings,
                   {"language", "volumes", "callQueue", "backlight"}, QVariant::Map);
        checkShape(QString(), config, {"wards", "rooms", "units", "buttons", "radios"},
                   QVariant::List);
        checkLanguage(settings.value(QStringLiteral("language")));
        checkVolumes(settings.value(QStringLiteral("volumes")));
        checkCallLimits(settings.value(QStringLiteral("callQueue")));
        checkBacklight(settings.value(QStringLiteral("backlight")));
        checkIdentified(config.value(QStringLiteral("wards")), QStringLiteral("ward"), &m_wards);
        checkRooms(config.value(QStringLiteral("rooms")));
        checkUnits(config.value(QStringLiteral("units")));
        checkButtons(config.value(QStringLiteral("buttons")));
        checkRadios(config.value(QStringLiteral("radios")));
    }

private:
    void add(const QString& subject, const QString& finding)
    {
        findings.append(subject + QStringLiteral(": ") + finding);
    }

    // A section of another kind than expected reads as an empty one.
    void checkShape(const QString& prefix, const QVariantMap& map,
                    std::initializer_list<const char*> keys, QVariant::Type type)
    {
        for (const char* key : keys) {
            const auto it = map.constFind(QLatin1String(key));
            if (it != map.constEnd() && it->type() != type)
                findings.append(QStringLiteral("%1%2 is not a %3; the daemon reads it as empty")
                                    .arg(prefix, QLatin1String(key),
                                         type == QVariant::List ? QStringLiteral("list")
                                                                : QStringLiteral("JSON object")));
        }
    }

    // An integer read as the daemon reads it: a number written as a string
    // counts, anything that does not convert is the daemon's default.
    void checkNumber(const QString& subject, const QVariantMap& map, const QString& key,
                     qint64 lowest, qint64 highest, bool required = false)
    {
        const auto it = map.constFind(key);
        if (it == map.constEnd()) {
            if (required)
                add(subject, key + QStringLiteral(" is missing"));
            return;
        }
        // Compared as a double, which a huge number does not overflow.
        bool ok = false;
        const double value = it->toDouble(&ok);
        if (!ok || std::isnan(value))
            add(subject, QStringLiteral("%1 %2 is not a number").arg(key, spelled(*it)));
        else if (value < lowest || value > highest)
            add(subject, QStringLiteral("%1 %2 is out of range %3-%4")
                             .arg(key, spelled(*it))
                             .arg(lowest)
                             .arg(highest));
    }

    void checkLanguage(const QVariant& section)
    {
        const QVariantMap map = section.toMap();
        const auto core = map.constFind(QStringLiteral("core"));
        if (core == map.constEnd())
            return;
        if (core->type() != QVariant::String) {
            add(QStringLiteral("settings.language"),
                QStringLiteral("core %1 is not a text; it is ignored").arg(spelled(*core)));
            return;
        }
        const QString text = core->toString();
        if (text.compare(QLatin1String("cs-CZ"), Qt::CaseInsensitive) != 0
            && text.compare(QLatin1String("en-US"), Qt::CaseInsensitive) != 0)
            add(QStringLiteral("settings.language"),
                QStringLiteral("core %1 is neither \"cs-CZ\" nor \"en-US\"; Czech is used")
                    .arg(spelled(*core)));
    }

    // Only pairs of known audio types are ever looked up, so an entry that
    // names another type is dead weight however sensible it looks.
    void checkVolumes(const QVariant& section)
    {
        const TalkVolumes builtIn;
        QSet<QString> sources;
        QSet<QString> targets;
        for (const TalkVolumes::Table* table : {&builtIn.micTable(), &builtIn.speakerTable()}) {
            for (auto it = table->keyBegin(); it != table->keyEnd(); ++it) {
                sources.insert(it->first);
                targets.insert(it->second);
            }
        }
        const QString subject = QStringLiteral("settings.volumes");
        const QString sourceKey = QStringLiteral("sourceType");
        const QVariantMap map = section.toMap();
        for (const QString& list : {QStringLiteral("mic"), QStringLiteral("speaker")}) {
            const QVariantList entries = map.value(list).toList();
            for (int i = 0; i < entries.size(); ++i) {
                const QVariantMap entry = entries.at(i).toMap();
                if (!entry.contains(sourceKey)) {
                    add(subject, QStringLiteral("%1 #%2 has no \"sourceType\"; it is skipped")
                                     .arg(list)
                                     .arg(i + 1));
                    continue;
                }
                const QString source = entry.value(sourceKey).toString();
                if (!sources.contains(source))
                    add(subject, QStringLiteral("%1 source %2 is not an audio type; the entry is "
                                                "never used")
                                     .arg(list, quoted(source)));
                const QString pair = QStringLiteral("%1 %2").arg(list, quoted(source));
                for (auto it = entry.cbegin(); it != entry.cend(); ++it) {
                    if (it.key() == sourceKey)
                        continue;
                    if (!targets.contains(it.key()))
                        add(subject, QStringLiteral("%1 target %2 is not an audio type; the volume "
                                                    "is never used")
                                         .arg(pair, quoted(it.key())));
                    checkNumber(subject + QLatin1Char(' ') + pair, entry, it.key(), 0,
                                CorviSettings::MaxVolume);
                }
            }
        }
    }

    void checkCallLimits(const QVariant& section)
    {
        const QVariantMap map = section.toMap();
        for (const char* key : {"maxCallDuration", "maxTalkDuration", "maxMuteDuration"})
            checkNumber(QStringLiteral("settings.callQueue"), map, QLatin1String(key), 0,
                        ConfigChecker::CallLimitMax);
    }

    void checkBacklight(const QVariant& section)
    {
        const QVariantMap map = section.toMap();
        for (const char* key : {"day", "night"})
            checkNumber(QStringLiteral("settings.backlight"), map, QLatin1String(key), 0,
                        ConfigChecker::BacklightMax);
    }

    // Wards and rooms share their rules: the trimmed "_id" names the entry;
    // an empty one, the placeholder's "none" and a repeated one are skipped.
    // Returns the entries the daemon takes, in file order.
    QVector<QVariantMap> checkIdentified(const QVariant& section, const QString& kind,
                                         QSet<QString>* ids)
    {
        QVector<QVariantMap> taken;
        QHash<QString, int> positions;
        const QVariantList list = section.toList();
        for (int i = 0; i < list.size(); ++i) {
            const QVariantMap map = list.at(i).toMap();
            const QString id = map.value(QStringLiteral("_id")).toString().trimmed();
            const QString subject = QStringLiteral("%1 %2").arg(kind, quoted(id));
            if (id.isEmpty())
                add(QStringLiteral("%1 #%2").arg(kind).arg(i + 1),
                    QStringLiteral("no \"_id\"; the %1 is skipped").arg(kind));
            else if (id == QLatin1String("none"))
                add(subject, QStringLiteral("\"none\" stands for the unknown %1; the %1 is skipped")
                                 .arg(kind));
            else if (positions.contains(id))
                add(subject, QStringLiteral("the id repeats %1 #%2; the %1 is skipped")
                                 .arg(kind)
                                 .arg(positions.value(id)));
            else {
                positions.insert(id, i + 1);
                ids->insert(id);
                taken.append(map);
            }
        }
        return taken;
    }

    void checkRooms(const QVariant& section)
    {
        const QVector<QVariantMap> rooms =
            checkIdentified(section, QStringLiteral("room"), &m_rooms);
        for (const QVariantMap& map : rooms) {
            const QString id = map.value(QStringLiteral("_id")).toString().trimmed();
            const QString ward = map.value(QStringLiteral("ward")).toString().trimmed();
            if (!m_wards.contains(ward))
                add(QStringLiteral("room %1").arg(quoted(id)),
                    QStringLiteral("ward %1 is not a configured ward").arg(quoted(ward)));
        }
    }

    void checkUnits(const QVariant& section)
    {
        QHash<QString, int> positions;
        const QVariantList list = section.toList();
        for (int i = 0; i < list.size(); ++i) {
            const QVariantMap map = list.at(i).toMap();
            const QString id = map.value(QStringLiteral("_id")).toString().trimmed();
            const QString subject = QStringLiteral("unit %1").arg(quoted(id));
            if (!map.contains(QStringLiteral("_id"))) {
                add(QStringLiteral("unit #%1").arg(i + 1),
                    QStringLiteral("no \"_id\"; the unit is skipped"));
                continue;
            }
            if (!map.contains(QStringLiteral("type"))) {
                add(subject, QStringLiteral("no \"type\"; the unit is skipped"));
                continue;
            }
            if (!isIPv4(id)) {
                add(subject, QStringLiteral("the id is not an IPv4 address; the unit is skipped"));
                continue;
            }
            const QString address = QHostAddress(id).toString();
            if (positions.contains(address)) {
                add(subject,
                    QStringLiteral("the address repeats unit #%1, which counts")
                        .arg(positions.value(address)));
                continue;
            }
            positions.insert(address, i + 1);
            m_units.insert(address);
            checkUnit(subject, map);
        }
    }

    void checkUnit(const QString& subject, const QVariantMap& map)
    {
        const QVariant type = map.value(QStringLiteral("type"));
        if (UnitsFactory::typeFromText(type.toString().trimmed()) == Unit::NoType)
            add(subject, QStringLiteral("unknown type %1; the unit is not created")
                             .arg(spelled(type)));
        const QString room = map.value(QStringLiteral("room")).toString().trimmed();
        if (!m_rooms.contains(room))
            add(subject, QStringLiteral("room %1 is not a configured room").arg(quoted(room)));
        const QVariantList collected = map.value(QStringLiteral("collector"))
                                           .toMap()
                                           .value(QStringLiteral("wards"))
                                           .toList();
        for (const QVariant& ward : collected) {
            if (!m_wards.contains(ward.toString().trimmed()))
                add(subject, QStringLiteral("collector ward %1 is not a configured ward")
                                 .arg(quoted(ward.toString().trimmed())));
        }
        const auto nv = map.constFind(QStringLiteral("nv"));
        if (nv != map.constEnd() && nv->toList().size() != NVSettings::nvCodes().size())
            add(subject, QStringLiteral("\"nv\" has %1 entries, not %2; it is ignored")
                             .arg(nv->toList().size())
                             .arg(NVSettings::nvCodes().size()));
        const QVariantList channels = map.value(QStringLiteral("fmRadio")).toList();
        for (int i = 0; i < channels.size(); ++i) {
            const QString channel = QStringLiteral("%1 fmRadio #%2").arg(subject).arg(i + 1);
            const QVariantMap settings = channels.at(i).toMap();
            checkNumber(channel, settings, QStringLiteral("port"), 1, RadiosSettings::MaxPort, true);
            checkNumber(channel, settings, QStringLiteral("volume"), 0, CorviSettings::MaxVolume);
        }
    }

    void checkButtons(const QVariant& section)
    {
        QHash<QString, int> positions;
        const QVariantList list = section.toList();
        for (int i = 0; i < list.size(); ++i) {
            const QVariantMap map = list.at(i).toMap();
            if (!map.contains(QStringLiteral("id"))) {
                add(QStringLiteral("button #%1").arg(i + 1),
                    QStringLiteral("no \"id\"; the button is skipped"));
                continue;
            }
            const QString id = map.value(QStringLiteral("id")).toString().trimmed();
            const QString subject = QStringLiteral("button %1").arg(quoted(id));
            if (positions.contains(id))
                add(subject, QStringLiteral("the id repeats button #%1, whose name, bed and unit "
                                            "this entry overwrites")
                                 .arg(positions.value(id)));
            else
                positions.insert(id, i + 1);
            const QString unit = map.value(QStringLiteral("unit")).toString().trimmed();
            if (!isIPv4(unit))
                add(subject, QStringLiteral("unit %1 is not an IPv4 address").arg(quoted(unit)));
            else if (!m_units.contains(QHostAddress(unit).toString()))
                add(subject, QStringLiteral("unit %1 is not a configured unit").arg(quoted(unit)));
        }
    }

    void checkRadios(const QVariant& section)
    {
        const QVariantList list = section.toList();
        for (int i = 0; i < list.size(); ++i) {
            const QString subject = QStringLiteral("radio #%1").arg(i + 1);
            const QVariantMap map = list.at(i).toMap();
            const auto ip = map.constFind(QStringLiteral("ip"));
            if (ip != map.constEnd() && !ip->isNull() && !isIPv4(ip->toString().trimmed()))
                add(subject, QStringLiteral("ip %1 is not an IPv4 address").arg(spelled(*ip)));
            checkNumber(subject, map, QStringLiteral("port"), 1, RadiosSettings::MaxPort, true);
        }
    }

    QSet<QString> m_wards;
    QSet<QString> m_rooms;
    QSet<QString> m_units;
};

} // namespace

QStringList ConfigChecker::check(const QByteArray& content)
{
    QVariant document;
    try {
        document = fromJson(content.trimmed());
    } catch (int) {
        return {notValidLine(content)};
    }
    // The daemon reads any other document as an empty object, which leaves
    // nothing further worth listing.
    if (document.type() != QVariant::Map)
        return {QStringLiteral("Config file is not a JSON object; the daemon reads no section "
                               "of it.")};
    Checker checker;
    checker.check(document.toMap());
    return checker.findings;
}

int ConfigChecker::run(const QString& path)
{
    const QString file = path.isEmpty() ? systemPath(Constants::ConfigFile) : path;
    QFile in(file);
    if (QFileInfo(file).isDir() || !in.open(QIODevice::ReadOnly)) {
        const QString reason =
            QFileInfo(file).isDir() ? QStringLiteral("it is a folder") : in.errorString();
        std::fprintf(stderr, "orvantacore: cannot read %s: %s\n", qPrintable(file),
                     qPrintable(reason));
        return Unreadable;
    }
    const QStringList findings = check(in.readAll());
    for (const QString& finding : findings)
        std::fprintf(stdout, "%s\n", finding.toUtf8().constData());
    if (findings.isEmpty())
        std::fprintf(stdout, "%s: no findings.\n", qPrintable(file));
    else
        std::fprintf(stdout, "%s: %lld finding%s.\n", qPrintable(file),
                     static_cast<long long>(findings.size()), findings.size() == 1 ? "" : "s");
    return findings.isEmpty() ? Clean : HasFindings;
}
