#include "support/temproot.h"

#include "core/runtimeoptions.h"

#include <QDir>
#include <QFileInfo>

static void setRoot(const QString& root)
{
    RuntimeOptions options = runtimeOptions();
    options.root = root;
    setRuntimeOptions(options);
}

TempRoot::TempRoot() : m_previousRoot(runtimeOptions().root) { setRoot(m_dir.path()); }

TempRoot::~TempRoot() { setRoot(m_previousRoot); }

QString TempRoot::file(const QString& systemPath) const
{
    return QDir::cleanPath(m_dir.path() + QLatin1Char('/') + systemPath);
}

void TempRoot::write(const QString& systemPath, const QByteArray& content) const
{
    const QString path = file(systemPath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(content);
}

QByteArray TempRoot::read(const QString& systemPath) const
{
    QFile in(file(systemPath));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}
