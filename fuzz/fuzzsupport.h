#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// Shared set-up of the fuzz targets: one application object for the whole
// run (timers and deferred deletion need it), log lines swallowed (the
// console would cost more than the code under test), and a private system
// root in memory for the targets that read files.
// Each target defines this: one input. The libFuzzer entry points in
// fuzzsupport.cpp set the process up once and run the deferred deletions
// after every input.
void fuzzOne(const uint8_t* data, size_t size);

namespace Fuzz {

// The input as bytes, without copying.
inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
}

// Writes content at a system path (such as /opt/core/etc/settings.conf)
// under the private root.
void writeSystemFile(const QString& systemPath, const QByteArray& content);

// Runs the deleteLater() requests that the code under test made, so that
// replaced objects do not pile up between inputs.
void flushDeferredDeletes();

// Aborts, so that libFuzzer records the input, when a property that must
// hold for every input does not.
void check(bool condition, const char* what);

} // namespace Fuzz
