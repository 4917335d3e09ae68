#pragma once

#include "errors/errorlog.h"

#include <QStringList>

// Collects the process log lines (with their "Debug "/"Warning "/"Critical "
// prefixes) while alive. Installs the process message handler.
class LogCapture : public ErrorLogger
{
public:
    LogCapture();
    ~LogCapture() override;
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void log(const QString& message) override;

    const QStringList& lines() const { return m_lines; }
    // Lines starting with the prefix, in order.
    QStringList linesStartingWith(const QString& prefix) const;
    int count(const QString& line) const { return m_lines.count(line); }
    bool contains(const QString& line) const { return m_lines.contains(line); }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};
