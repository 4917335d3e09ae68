#include "simlink.h"
#include "simwire.h"

#include <QtTest>

using Bytes = QList<QByteArray>;

// The unit side of the bus against datagrams written out byte for byte.
class TestSimWire : public QObject
{
    Q_OBJECT
private slots:
    void unitWrites()
    {
        QCOMPARE(SimWire::command(0, "CallChange", "VS:1"),
                 QByteArray("MsgNo:0\nCmd:CallChange\nVS:1\nCRC:32c3"));
        QCOMPARE(SimWire::ack(4, 97), QByteArray("AckNo:4\nError:97\nCRC:1608"));
        SimWire::Numbering numbers;
        for (int i = 0; i < 255; ++i)
            numbers.take();
        QCOMPARE(numbers.take(), 255);
        QCOMPARE(numbers.take(), 0);
    }

    void linkAnswers_data()
    {
        QTest::addColumn<bool>("plugged");
        QTest::addColumn<Bytes>("in");
        QTest::addColumn<Bytes>("out");
        QTest::addColumn<QStringList>("delivered");

        const QByteArray lights = SimWire::checksummed("MsgNo:3\nCmd:Lights\nPS:1\n");
        const QByteArray ack3 = "AckNo:3\nError:0\nCRC:881b";
        QTest::newRow("acknowledged") << true << Bytes{lights} << Bytes{ack3} << QStringList{"Lights|PS:1"};
        QTest::newRow("repeat carried out once")
            << true << Bytes{lights, lights} << Bytes{ack3, ack3} << QStringList{"Lights|PS:1"};
        QTest::newRow("same number, other command")
            << true << Bytes{lights, SimWire::checksummed("MsgNo:3\nCmd:Buzz\nVolume:Day\n")}
            << Bytes{ack3, ack3} << QStringList{"Lights|PS:1", "Buzz|Volume:Day"};
        QTest::newRow("wrong checksum") << true << Bytes{"MsgNo:4\nCmd:Lights\nCRC:0000"}
                                        << Bytes{"AckNo:4\nError:97\nCRC:1608"} << QStringList();
        QTest::newRow("no checksum") << true << Bytes{"MsgNo:5\nCmd:Lights\n"}
                                     << Bytes{"AckNo:5\nError:99\nCRC:f32b"} << QStringList();
        QTest::newRow("ping") << true << Bytes{"Ping"} << Bytes{"OK"} << QStringList();
        QTest::newRow("list in three datagrams")
            << true
            << Bytes{SimWire::checksummed("MsgNo:6\nCmd:DisplayCalls\nIcon:P\nRoom:A\nNotFinished\n"),
                     SimWire::checksummed("MsgNo:7\nCmd:DisplayCalls\nContinue\nIcon:T\nNotFinished\n"),
                     SimWire::checksummed("MsgNo:8\nCmd:DisplayCalls\nContinue\nIcon:n\n")}
            << Bytes{"AckNo:6\nError:0\nCRC:c0a5", "AckNo:7\nError:0\nCRC:8776",
                     "AckNo:8\nError:0\nCRC:5eb4"}
            << QStringList{"DisplayCalls|Icon:P\nRoom:A||Icon:T||Icon:n"};
        QTest::newRow("unplugged") << false << Bytes{"Ping", lights} << Bytes() << QStringList();
    }

    void linkAnswers()
    {
        QFETCH(bool, plugged);
        QFETCH(Bytes, in);

        SimLink link;
        link.setPlugged(plugged);
        Bytes sent;
        QStringList got;
        connect(&link, &SimLink::transmit, this, [&](const QByteArray& d) { sent.append(d); });
        connect(&link, &SimLink::commandReceived, this, [&](const QString& name, const QStringList& parts) {
            got.append(name + QLatin1Char('|') + parts.join(QStringLiteral("||")));
        });
        for (const QByteArray& datagram : in)
            link.receive(datagram);
        QTEST(sent, "out");
        QTEST(got, "delivered");
    }

    // A command goes out again, unchanged, until acknowledged; after five unanswered transmissions
    // it is dropped and the next one follows with the next number.
    void linkRetransmitsUntilAcknowledged()
    {
        SimLink link;
        link.setRetryInterval(20);
        Bytes sent;
        connect(&link, &SimLink::transmit, this, [&](const QByteArray& d) { sent.append(d); });
        QSignalSpy givenUp(&link, &SimLink::givenUp);

        const QByteArray callChange = "MsgNo:0\nCmd:CallChange\nVS:1\nCRC:32c3";
        const QByteArray answer = "MsgNo:1\nCmd:Requests\nCallAnswerBase\nCRC:0d97";
        link.send("CallChange", "VS:1");
        link.send("Requests", "CallAnswerBase");
        QCOMPARE(sent, Bytes{callChange});
        QTRY_VERIFY(sent.size() >= 2);
        link.receive("AckNo:0\nError:0\nCRC:0000"); // damaged: no acknowledgement
        link.receive("AckNo:1\nError:0\nCRC:07bd"); // another number
        QCOMPARE(sent.last(), callChange);
        link.receive(SimWire::checksummed("AckNo:0\nError:0\n"));
        QCOMPARE(sent.last(), answer);
        const int first = sent.count(callChange);
        QCOMPARE(sent.size(), first + 1);

        QVERIFY(givenUp.wait(1000));
        QCOMPARE(givenUp.first().first().toString(), QStringLiteral("Requests"));
        QCOMPARE(sent.count(answer), SimLink::Transmissions);
        QCOMPARE(sent.size(), first + SimLink::Transmissions);
        QCOMPARE(link.queued(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimWire)
#include "tst_simwire.moc"
