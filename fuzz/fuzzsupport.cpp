#include "fuzzsupport.h"

#include "core/runtimeoptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace Fuzz {

namespace {

void swallow(QtMsgType, const QMessageLogContext&, const QString&) {}

void initialize()
{
    static int argc = 1;
    static char name[] = "orvanta-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    qInstallMessageHandler(swallow);

    // In memory where possible: several targets rewrite a file per input.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                   : QDir::tempPath();
    static QTemporaryDir root(base + QStringLiteral("/orvanta-fuzz-XXXXXX"));
    RuntimeOptions options = runtimeOptions();
    options.root = root.path();
    setRuntimeOptions(options);
}

} // namespace

void writeSystemFile(const QString& systemPath, const QByteArray& content)
{
    const QString path = ::systemPath(systemPath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input file");
    file.write(content);
}

void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void check(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

} // namespace Fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzOne(data, size);
    Fuzz::flushDeferredDeletes();
    return 0;
}
