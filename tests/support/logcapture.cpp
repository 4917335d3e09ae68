#include "support/logcapture.h"

LogCapture::LogCapture()
{
    qInstallMessageHandler(errorLogMessageHandler);
    ErrorLog::instance()->addLogger(this);
}
