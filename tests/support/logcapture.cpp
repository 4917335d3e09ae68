#include "support/logcapture.h"

LogCapture::LogCapture()
{
    qInstallMessageHandler(errorLogMessageHandler);
    ErrorLog::instance()->addLogger(this);
}

LogCapture::~LogCapture() = default;

void LogCapture::log(const QString& message)
{
    m_lines.append(message);
}

QStringList LogCapture::linesStartingWith(const QString& prefix) const
{
    QStringList result;
    for (const QString& line : m_lines) {
        if (line.startsWith(prefix))
            result.append(line);
    }
    return result;
}
