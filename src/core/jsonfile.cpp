#include "core/jsonfile.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

bool oneOf(char c, const char* set)
{
    return c != '\0' && std::strchr(set, c);
}

// Qt's JSON parser keeps the last of several members with the same key, but
// never frees an earlier one whose value is a non-empty object or array: each
// such document leaked, and documents arrive from files and other services.
// Cutting the earlier members from the text before parsing gives the same
// document without the leak. The scan reads only as much JSON as it needs
// and gives up where the text stops being JSON (the parser reports that).
class OverriddenMembers
{
public:
    explicit OverriddenMembers(const QByteArray& json)
        : m_json(json)
    {
    }

    // The text without every member that a later one of its object replaces.
    QByteArray removed()
    {
        scan();
        if (m_spans.isEmpty())
            return m_json;
        // The parser never sees a cut member, yet a document with a broken
        // member is broken whole: each must be JSON on its own.
        for (int i = 0; i < m_spans.size(); ++i) {
            QByteArray member = cut(m_spans.at(i).first, m_spans.at(i).second, i + 1);
            member.chop(1); // the comma after it
            QJsonParseError error;
            QJsonDocument::fromJson('{' + member + '}', &error);
            if (error.error != QJsonParseError::NoError)
                throw static_cast<int>(error.error);
        }
        return cut(0, m_json.size(), 0);
    }

    // The text with the same members overwritten by spaces, so that the
    // parser's error offsets still point into the original. A member that is
    // not JSON on its own stays: the parser stops in it before reaching the
    // member that replaces it, and reports it.
    QByteArray blanked()
    {
        scan();
        QByteArray result = m_json;
        // Spans nest or are apart; from the last, inner ones go first.
        for (int i = m_spans.size() - 1; i >= 0; --i) {
            const auto& span = m_spans.at(i);
            QJsonParseError error;
            QJsonDocument::fromJson('{' + result.mid(span.first, span.second - span.first - 1) + '}',
                                    &error);
            if (error.error == QJsonParseError::NoError)
                std::fill(result.begin() + span.first, result.begin() + span.second, ' ');
        }
        return result;
    }

private:
    // Finds the replaced members' spans, sorted.
    void scan()
    {
        if (m_json.startsWith("\xef\xbb\xbf"))
            m_at = 3;
        value(0);
        std::sort(m_spans.begin(), m_spans.end());
    }

    // The text from begin to end without the members cut inside it; spans
    // from index first on are sorted, and those inside begin..end come first.
    QByteArray cut(int begin, int end, int first) const
    {
        QByteArray result;
        int copied = begin;
        for (int i = first; i < m_spans.size() && m_spans.at(i).first < end; ++i) {
            const auto& span = m_spans.at(i);
            if (span.first < copied)
                continue; // inside a member cut already
            result += m_json.mid(copied, span.first - copied);
            copied = span.second;
        }
        return result + m_json.mid(copied, end - copied);
    }

    // Qt refuses deeper documents; there is nothing to cut in them.
    static constexpr int MaxDepth = 1024;

    char peek() const { return m_at < m_json.size() ? m_json.at(m_at) : '\0'; }

    void skipSpace()
    {
        while (oneOf(peek(), " \t\n\r"))
            ++m_at;
    }

    bool value(int depth)
    {
        if (depth > MaxDepth)
            return false;
        skipSpace();
        switch (peek()) {
        case '{': return object(depth);
        case '[': return array(depth);
        case '"': return string(nullptr);
        default: {
            const int start = m_at;
            while (std::isalnum(static_cast<unsigned char>(peek())) || oneOf(peek(), "+-."))
                ++m_at;
            return m_at > start;
        }
        }
    }

    bool array(int depth)
    {
        ++m_at;
        skipSpace();
        if (peek() == ']') {
            ++m_at;
            return true;
        }
        for (;;) {
            if (!value(depth + 1))
                return false;
            skipSpace();
            const char next = peek();
            ++m_at;
            if (next == ']')
                return true;
            if (next != ',')
                return false;
        }
    }

    bool object(int depth)
    {
        ++m_at;
        skipSpace();
        if (peek() == '}') {
            ++m_at;
            return true;
        }
        QHash<QString, QPair<int, int>> members; // key -> its text with the comma after it
        for (;;) {
            skipSpace();
            const int begin = m_at;
            QString key;
            if (!string(&key))
                return false;
            skipSpace();
            if (peek() != ':')
                return false;
            ++m_at;
            if (!value(depth + 1))
                return false;
            skipSpace();
            const char next = peek();
            if (next != ',' && next != '}')
                return false;
            ++m_at;
            // An earlier member of the same key was followed by a comma.
            const auto earlier = members.find(key);
            if (earlier != members.end())
                m_spans.append(*earlier);
            members.insert(key, {begin, m_at});
            if (next == '}')
                return true;
        }
    }

    // Reads a string; its text (escapes resolved) into text when given.
    bool string(QString* text)
    {
        if (peek() != '"')
            return false;
        int run = ++m_at;
        const auto flush = [&] {
            if (text)
                *text += QString::fromUtf8(m_json.constData() + run, m_at - run);
        };
        while (m_at < m_json.size()) {
            const char c = m_json.at(m_at);
            if (c == '"') {
                flush();
                ++m_at;
                return true;
            }
            if (c != '\\') {
                ++m_at;
                continue;
            }
            flush();
            if (m_at + 1 >= m_json.size())
                return false;
            const char escaped = m_json.at(m_at + 1);
            m_at += 2;
            if (escaped == 'u') {
                bool ok = false;
                const ushort unit = m_json.mid(m_at, 4).toUShort(&ok, 16);
                if (!ok || m_json.mid(m_at, 4).size() != 4)
                    return false;
                if (text)
                    *text += QChar(unit);
                m_at += 4;
            } else if (text) {
                const char* from = "bfnrt";
                const char* to = "\b\f\n\r\t";
                *text += QLatin1Char(oneOf(escaped, from) ? to[std::strchr(from, escaped) - from]
                                                          : escaped);
            }
            run = m_at;
        }
        return false;
    }

    const QByteArray& m_json;
    int m_at = 0;
    QVector<QPair<int, int>> m_spans;
};

} // namespace

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

QVariant fromJson(const QByteArray& original)
{
    const QByteArray bytes = OverriddenMembers(original).removed();
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

QJsonParseError jsonParseError(const QByteArray& bytes)
{
    QJsonParseError error;
    QJsonDocument::fromJson(OverriddenMembers(bytes).blanked(), &error);
    return error;
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
