#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reads a configuration file the way the daemon does and lists what an
// installer should fix before it goes live: every line the loader would log,
// and every entry the daemon would skip, misplace or read as something else.
// Each finding is one line naming the ward, room, unit, button or radio.
class ConfigChecker
{
public:
    enum ExitCode { Clean = 0, HasFindings = 1, Unreadable = 2 };

    // The highest backlight level and call limit in seconds; volumes and
    // ports share the bounds the settings themselves apply.
    static constexpr int BacklightMax = 100;
    static constexpr int CallLimitMax = 24 * 60 * 60;

    // The findings for a file's content, in the order of the file's sections.
    static QStringList check(const QByteArray& content);

    // Checks the file (the configuration under --root when the path is
    // empty), prints each finding and a closing line on standard output, and
    // returns the exit code. An unreadable file is reported on standard error.
    static int run(const QString& path);
};
