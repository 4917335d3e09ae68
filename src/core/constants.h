#pragma once

#include <QString>
#include <QtGlobal>

// Process-wide constants. File paths are the paths of a real controller;
// read them through systemPath() (runtimeoptions.h) so that --root applies.
namespace Constants {

inline const QString OrganisationName = QStringLiteral("Orvanta");
inline const QString OrganisationDomain = QStringLiteral("orvanta.local");
inline const QString ApplicationName = QStringLiteral("orvantacore");
inline const QString ApplicationVersion = QStringLiteral("4.0.1");

constexpr quint16 MqttBrokerPort = 1883;

// The controller's fixed address on the field network; units are reached
// from it and radio and synthesizer streams are announced with it.
inline const QString RondelLocalAddress = QStringLiteral("10.10.0.1");
constexpr quint16 RondelPort = 6668;

inline const QString ConfigFile = QStringLiteral("/opt/adminapp/etc/config.json");
inline const QString AssemblemsgConfigFile = QStringLiteral("/opt/assemblemsg/bin/config.json");
inline const QString PersistentSettingsFile = QStringLiteral("/opt/core/etc/settings.conf");
inline const QString NamedaysFolder = QStringLiteral("/opt/core/etc/");
inline const QString NamedaysFileSuffix = QStringLiteral("_nameday.conf");

inline const QString MulticastGroupPattern = QStringLiteral("239.254.%1");

namespace Cmd {
// Sent to units.
inline const QString Buzz = QStringLiteral("Buzz");
inline const QString CallHandle = QStringLiteral("CallHandle");
inline const QString DialProgress = QStringLiteral("DialProgress");
inline const QString DisplayCalls = QStringLiteral("DisplayCalls");
inline const QString DisplayDateTime = QStringLiteral("DisplayDateTime");
inline const QString DisplayLanguage = QStringLiteral("DisplayLanguage");
inline const QString DisplayPresences = QStringLiteral("DisplayPresences");
inline const QString DisplayTalk = QStringLiteral("DisplayTalk");
inline const QString DisplayWards = QStringLiteral("DisplayWards");
inline const QString DoorLock = QStringLiteral("DoorLock");
inline const QString FMControl = QStringLiteral("FM%1Control");
inline const QString GetStatus = QStringLiteral("GetStatus");
inline const QString Lights = QStringLiteral("Lights");
inline const QString PMBGetStatus = QStringLiteral("PMBGetStatus");
inline const QString PMBSetConfigBT = QStringLiteral("PMBSetConfigBT");
inline const QString SetConfig = QStringLiteral("SetConfig");
inline const QString SetMode = QStringLiteral("SetMode");
inline const QString VariousControl = QStringLiteral("VariousControl");
inline const QString VoIP = QStringLiteral("VoIP");

// Received from units.
inline const QString BasicInfo = QStringLiteral("BasicInfo");
inline const QString BT = QStringLiteral("BT");
inline const QString CallChange = QStringLiteral("CallChange");
inline const QString CallStatus = QStringLiteral("CallStatus");
inline const QString Config = QStringLiteral("Config");
inline const QString ConnectionChange = QStringLiteral("ConnectionChange");
inline const QString ConnectionStatus = QStringLiteral("ConnectionStatus");
inline const QString DialCall = QStringLiteral("DialCall");
inline const QString FM1Status = QStringLiteral("FM1Status");
inline const QString FM2Status = QStringLiteral("FM2Status");
inline const QString Notifications = QStringLiteral("Notifications");
inline const QString PMBConfigBT = QStringLiteral("PMBConfigBT");
inline const QString PMBInfo = QStringLiteral("PMBInfo");
inline const QString PresenceStatus = QStringLiteral("PresenceStatus");
inline const QString Requests = QStringLiteral("Requests");
} // namespace Cmd

} // namespace Constants
