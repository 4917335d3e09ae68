#include "support/temproot.h"

#include "core/runtimeoptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempRoot::TempRoot()
{
    RuntimeOptions options = runtimeOptions();
    m_previousRoot = options.root;
    options.root = m_dir.path();
    setRuntimeOptions(options);
}

TempRoot::~TempRoot()
{
    RuntimeOptions options = runtimeOptions();
    options.root = m_previousRoot;
    setRuntimeOptions(options);
}

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
