#include "synthesizer/synthesizer.h"

#include <QSignalSpy>
#include <QtTest>

class TestSynthesizer : public QObject
{
    Q_OBJECT

private slots:
    void typeFromSettings_data()
    {
        QTest::addColumn<QVariant>("section");
        QTest::addColumn<int>("type");
        QTest::newRow("Fragments") << QVariant(QVariantMap{{"type", "Fragments"}}) << 2;
        QTest::newRow("Fixed") << QVariant(QVariantMap{{"type", "Fixed"}}) << 1;
        QTest::newRow("output word") << QVariant(QVariantMap{{"type", "Fragmented"}}) << 1;
        QTest::newRow("letter case") << QVariant(QVariantMap{{"type", "fragments"}}) << 1;
        QTest::newRow("none") << QVariant(QVariantMap{{"type", "none"}}) << 1;
    }
    void typeFromSettings()
    {
        QFETCH(QVariant, section);
        Synthesizer synthesizer;
        synthesizer.loadSettings(section);
        QTEST(synthesizer.type(), "type");
    }

    void sectionWithoutTypeKeepsTheMode()
    {
        Synthesizer synthesizer;
        synthesizer.loadSettings(QVariantMap{{"type", "Fragments"}});
        synthesizer.loadSettings(QVariantMap{{"mode", "Fixed"}});
        QVERIFY(synthesizer.isFragmented());
        synthesizer.loadSettings(QVariant());
        QVERIFY(synthesizer.isFragmented());
    }

    void fragmentsOnlyInAnOfferedLanguage()
    {
        const QVariantMap offers{{"languages", QVariantList{"cs-CZ", "en-US"}}};
        Synthesizer synthesizer;
        synthesizer.loadSettings(QVariantMap{{"type", "Fragments"}});
        synthesizer.checkLanguages(offers, "en-US");
        QVERIFY(synthesizer.isFragmented());

        synthesizer.checkLanguages(QVariantMap{{"languages", QVariantList{"cs-CZ"}}}, "en-US");
        QCOMPARE(synthesizer.type(), 1);

        synthesizer.loadSettings(QVariantMap{{"type", "Fragments"}});
        synthesizer.checkLanguages(QVariantMap{{"languages", QVariantList{}}}, "cs-CZ");
        QCOMPARE(synthesizer.type(), 1);

        synthesizer.loadSettings(QVariantMap{{"type", "Fragments"}});
        synthesizer.checkLanguages(QVariantMap{}, "cs-CZ");
        QCOMPARE(synthesizer.type(), 1);
    }

    void portsAndMessages()
    {
        Synthesizer synthesizer;
        QSignalSpy started(&synthesizer, &Synthesizer::messageStarted);
        QSignalSpy stopped(&synthesizer, &Synthesizer::messageStoped);
        QCOMPARE(synthesizer.freePort(), quint16(10100));

        SynthesizedMessage first(QHostAddress("127.0.0.5"), 10100);
        first.priority = 32;
        synthesizer.start(first);
        synthesizer.start(SynthesizedMessage(QHostAddress("127.0.0.6"), 10102));
        QCOMPARE(synthesizer.freePort(), quint16(10104));
        QCOMPARE(started.count(), 2);
        QCOMPARE(started.at(0).at(0).value<SynthesizedMessage>().priority, 32);

        synthesizer.stop(10100);
        QCOMPARE(stopped.count(), 1);
        const auto stoppedMessage = stopped.at(0).at(0).value<SynthesizedMessage>();
        QCOMPARE(stoppedMessage.ip, QHostAddress("127.0.0.5"));
        QCOMPARE(stoppedMessage.port, quint16(10100));
        QCOMPARE(synthesizer.freePort(), quint16(10100));

        synthesizer.stop(10100);
        synthesizer.stop(10104);
        QCOMPARE(stopped.count(), 1);
    }

    void secondStartOnAPortReplacesTheMessage()
    {
        Synthesizer synthesizer;
        QSignalSpy stopped(&synthesizer, &Synthesizer::messageStoped);
        synthesizer.start(SynthesizedMessage(QHostAddress("127.0.0.5"), 10100));
        synthesizer.start(SynthesizedMessage(QHostAddress("127.0.0.7"), 10100));
        synthesizer.stop(10100);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(stopped.at(0).at(0).value<SynthesizedMessage>().ip, QHostAddress("127.0.0.7"));
        QVERIFY(!synthesizer.isPlaying(10100));
        QCOMPARE(synthesizer.freePort(), quint16(10100));
    }

    void allPortsInUse()
    {
        Synthesizer synthesizer;
        int count = 0;
        for (quint16 port = synthesizer.freePort(); port != 0; port = synthesizer.freePort()) {
            synthesizer.start(SynthesizedMessage(QHostAddress::LocalHost, port));
            ++count;
        }
        QCOMPARE(count, 1000);
        QVERIFY(synthesizer.isPlaying(12098));
        synthesizer.stop(11000);
        QCOMPARE(synthesizer.freePort(), quint16(11000));
    }
};

QTEST_GUILESS_MAIN(TestSynthesizer)
#include "tst_synthesizer.moc"
