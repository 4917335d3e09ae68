#pragma once

#include "errors/errorlog.h"

#include <QRegularExpression>
#include <QStringList>

// Collects the process log lines (with their "Debug "/"Warning "/"Critical "
// prefixes) while alive. Installs the process message handler.
class LogCapture : public ErrorLogger
{
public:
    LogCapture()
    {
        qInstallMessageHandler(errorLogMessageHandler);
        ErrorLog::instance()->addLogger(this);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void log(const QString& message) override { m_lines.append(message); }

    const QStringList& lines() const { return m_lines; }
    QStringList linesStartingWith(const QString& prefix) const
    {
        return m_lines.filter(QRegularExpression('^' + QRegularExpression::escape(prefix)));
    }
    int count(const QString& line) const { return m_lines.count(line); }
    bool contains(const QString& line) const { return m_lines.contains(line); }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};
