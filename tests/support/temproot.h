#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A temporary system root for one test, the process's --root while it is alive.
class TempRoot
{
public:
    TempRoot();
    ~TempRoot();

    QString path() const { return m_dir.path(); }
    // The real path of an absolute system path such as /opt/core/etc/settings.conf.
    QString file(const QString& systemPath) const;
    // Writes a file at a system path, creating its folders.
    void write(const QString& systemPath, const QByteArray& content) const;
    QByteArray read(const QString& systemPath) const;
    void remove(const QString& systemPath) const { QFile::remove(file(systemPath)); }

private:
    QTemporaryDir m_dir;
    QString m_previousRoot;
};
