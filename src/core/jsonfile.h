#pragma once

#include <QByteArray>
#include <QJsonParseError>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// Shared file and JSON helpers. Paths are used as given; callers resolve
// system paths with systemPath().

// Whole content of a file, or an empty array when it cannot be opened.
QByteArray readFile(const QString& path);

// Replaces the file's content. The bytes go to a temporary file beside it
// that is renamed over the old one, so a crash or power cut mid-write leaves
// the previous content intact. Returns false (and changes nothing) on failure.
bool writeFile(const QString& path, const QByteArray& bytes);

// Parses a JSON document. Throws the parser's error code (an int,
// QJsonParseError::ParseError) when the bytes are not valid JSON.
QVariant fromJson(const QByteArray& bytes);

// What the parser finds wrong with a JSON document, with the offset into
// these bytes; no error when they are an object or an array.
QJsonParseError jsonParseError(const QByteArray& bytes);

// Compact JSON of the variant.
QByteArray toJson(const QVariant& value);

// readFile + trim + fromJson, as a map. Throws like fromJson, so an empty or
// missing file throws too.
QVariantMap readJsonFile(const QString& path);

bool writeJsonFile(const QString& path, const QVariantMap& map);
