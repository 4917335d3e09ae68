#include "synthesizer/synthesizer.h"

#include <QtTest>

class TestSynthesizer : public QObject
{
    Q_OBJECT

private slots:
    void type_data()
    {
        // The settings sections given in turn, then, with a language, the assembly's offer checked.
        QTest::addColumn<QVariantList>("sections");
        QTest::addColumn<QVariant>("offer");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("type");
        const QVariant fragments = QVariantMap{{"type", "Fragments"}};
        const auto offering = [](const QVariantList& languages) {
            return QVariant(QVariantMap{{"languages", languages}});
        };
        QTest::newRow("Fragments") << QVariantList{fragments} << QVariant() << "" << 2;
        QTest::newRow("Fixed") << QVariantList{QVariantMap{{"type", "Fixed"}}} << QVariant() << "" << 1;
        QTest::newRow("output word") << QVariantList{QVariantMap{{"type", "Fragmented"}}} << QVariant() << "" << 1;
        QTest::newRow("no type keeps the mode")
            << QVariantList{fragments, QVariantMap{{"mode", "Fixed"}}, QVariant()} << QVariant() << "" << 2;
        QTest::newRow("language offered") << QVariantList{fragments} << offering({"cs-CZ", "en-US"}) << "en-US" << 2;
        QTest::newRow("language not offered") << QVariantList{fragments} << offering({"cs-CZ"}) << "en-US" << 1;
        QTest::newRow("no offer") << QVariantList{fragments} << QVariant(QVariantMap()) << "cs-CZ" << 1;
    }

    void type()
    {
        QFETCH(QVariantList, sections);
        QFETCH(QVariant, offer);
        QFETCH(QString, language);
        Synthesizer synthesizer;
        for (const QVariant& section : sections)
            synthesizer.loadSettings(section);
        if (!language.isEmpty())
            synthesizer.checkLanguages(offer, language);
        QTEST(synthesizer.type(), "type");
        QCOMPARE(synthesizer.isFragmented(), synthesizer.type() == 2);
    }

    void portsAndMessages()
    {
        Synthesizer synthesizer;
        QStringList journal;
        const auto note = [&journal](const char* what) {
            return [&journal, what](const SynthesizedMessage& m) {
                journal << QStringLiteral("%1 %2:%3 p%4").arg(what, m.ip.toString()).arg(m.port).arg(m.priority);
            };
        };
        connect(&synthesizer, &Synthesizer::messageStarted, this, note("start"));
        connect(&synthesizer, &Synthesizer::messageStoped, this, note("stop"));
        QCOMPARE(synthesizer.freePort(), quint16(10100));

        SynthesizedMessage first(QHostAddress("127.0.0.5"), 10100);
        first.priority = 32;
        synthesizer.start(first);
        synthesizer.start(SynthesizedMessage(QHostAddress("127.0.0.6"), 10102));
        QCOMPARE(synthesizer.freePort(), quint16(10104));
        synthesizer.stop(10100);
        QCOMPARE(synthesizer.freePort(), quint16(10100));
        // Ports where nothing plays stop nothing.
        synthesizer.stop(10100);
        synthesizer.stop(10104);
        // A second start on a port replaces the message playing there.
        synthesizer.start(SynthesizedMessage(QHostAddress("127.0.0.7"), 10102));
        synthesizer.stop(10102);
        QVERIFY(!synthesizer.isPlaying(10102));
        QCOMPARE(journal, QStringList({"start 127.0.0.5:10100 p32", "start 127.0.0.6:10102 p16",
                                       "stop 127.0.0.5:10100 p32", "start 127.0.0.7:10102 p16",
                                       "stop 127.0.0.7:10102 p16"}));

        // With every port in use none is free until one stops.
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
