#include <QtTest>

namespace {

const QString SourceDir = QStringLiteral(ORVANTA_SOURCE_DIR);

// Standard output and error of a finished command, merged.
QByteArray run(const QString& program, const QStringList& arguments, int* status = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(60000);
    if (status)
        *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAll();
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The newest package scripts/package left.
        const QString dir = qEnvironmentVariable("ORVANTA_PACKAGE_BUILD_DIR", SourceDir + "/build-release");
        const QFileInfoList found = QDir(dir).entryInfoList({"orvantacore_*.deb"}, QDir::Files, QDir::Time);
        m_package = found.value(0).absoluteFilePath(); // empty when there is none
        // CI builds the package first, so a missing one there is a fault.
        if (m_package.isEmpty() && qEnvironmentVariableIsSet("CI"))
            QFAIL("No package in build-release/: scripts/package builds it.");
    }

    void serviceFileVerifies()
    {
        if (QStandardPaths::findExecutable("systemd-analyze").isEmpty())
            QSKIP("systemd-analyze is not installed here.");
        QFile service(SourceDir + "/packaging/orvantacore.service");
        QVERIFY(service.open(QIODevice::ReadOnly));
        QByteArray unit = service.readAll();
        // The verifier wants the program to exist; the built one stands in.
        const QByteArray execStart = "ExecStart=/usr/bin/orvantacore\n";
        QVERIFY(unit.contains(execStart));
        unit.replace(execStart, "ExecStart=" ORVANTACORE_BINARY "\n");
        QTemporaryDir dir;
        QFile copy(dir.filePath("orvantacore.service"));
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(unit) == unit.size());
        copy.close();
        int status = -1;
        const QByteArray output = run("systemd-analyze", {"verify", copy.fileName()}, &status);
        QCOMPARE(output, QByteArray());
        QCOMPARE(status, 0);
    }

    void packageHolds_data()
    {
        QTest::addColumn<QString>("field"); // "contents": a path of the listing
        QTest::addColumn<QString>("expected");
        const QString doc = "./usr/share/doc/orvantacore/examples/";
        for (const QString& path :
             QStringList{"./usr/bin/orvantacore", "./usr/lib/systemd/system/orvantacore.service",
                         doc + "config.json", doc + "assemblemsg-config.json",
                         doc + "cs-CZ_nameday.conf", doc + "en-US_nameday.conf", "./opt/core/etc/"})
            QTest::newRow(qPrintable(path)) << "contents" << path;
        if (QFile::exists(SourceDir + "/tools/sim"))
            QTest::newRow("simulator") << "contents" << "./usr/bin/orvanta-sim";
        for (const char* library : {"libqt5core5a", "libqt5network5", "libmosquitto1", "libsystemd0"})
            QTest::newRow(library) << "Depends" << library;
        QTest::newRow("broker") << "Recommends" << "mosquitto";
    }

    void packageHolds()
    {
        QFETCH(QString, field);
        QFETCH(QString, expected);
        if (m_package.isEmpty())
            QSKIP("No package built; scripts/package builds one.");
        if (field == "contents") {
            const QStringList listing =
                QString::fromUtf8(run("dpkg-deb", {"-c", m_package})).split('\n');
            const QRegularExpression entry(" " + QRegularExpression::escape(expected) + "$");
            QVERIFY2(!listing.filter(entry).isEmpty(), qPrintable(listing.join('\n')));
        } else {
            const QString value =
                QString::fromUtf8(run("dpkg-deb", {"-f", m_package, field})).trimmed();
            QVERIFY2(value.split(QRegularExpression("[ ,|]+")).contains(expected), qPrintable(value));
        }
    }

    void packagedDaemonPassesThePackagedSample()
    {
        if (m_package.isEmpty())
            QSKIP("No package built; scripts/package builds one.");
        QTemporaryDir dir;
        int status = -1;
        run("dpkg-deb", {"-x", m_package, dir.path()}, &status);
        QCOMPARE(status, 0);
        const QByteArray output =
            run(dir.filePath("usr/bin/orvantacore"),
                {"--check-config", dir.filePath("usr/share/doc/orvantacore/examples/config.json")},
                &status);
        QVERIFY2(output.endsWith("config.json: no findings.\n"), output.constData());
        QCOMPARE(status, 0);
    }

private:
    QString m_package;
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
