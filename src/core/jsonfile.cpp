#include "core/jsonfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text | QIODevice::Unbuffered))
        return QByteArray();
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // Unbuffered, so that a short write (disk full) shows in write()'s
    // result; a buffered one would only surface at commit(), which does not
    // report it, and a truncated file would replace the good one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QVariant fromJson(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError)
        return document.toVariant();
    // The document parser takes only an object or an array at the top, but
    // a lone number, string, boolean or null is a valid document too. It is
    // one when the bytes wrapped in brackets form an array of exactly one
    // element; an empty input gives an empty array and stays an error.
    QJsonParseError wrappedError;
    const QJsonDocument wrapped =
        QJsonDocument::fromJson('[' + bytes + ']', &wrappedError);
    if (wrappedError.error == QJsonParseError::NoError && wrapped.array().size() == 1)
        return wrapped.array().first().toVariant();
    throw static_cast<int>(error.error);
}

QByteArray toJson(const QVariant& value)
{
    return QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact);
}

QVariantMap readJsonFile(const QString& path)
{
    return fromJson(readFile(path).trimmed()).toMap();
}

bool writeJsonFile(const QString& path, const QVariantMap& map)
{
    return writeFile(path, toJson(map));
}
