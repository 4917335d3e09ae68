#include "core/jsonfile.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

class TestJsonFile : public QObject
{
    Q_OBJECT

private slots:
    void fromJsonThrowsTheParserCode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("unterminated object") << QByteArray("{\"a\": 1");
        QTest::newRow("missing value") << QByteArray("{\"a\": }");
        QTest::newRow("garbage after") << QByteArray("{} x");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("two scalars") << QByteArray("1, 2");
        QTest::newRow("bare word") << QByteArray("yes");
        QTest::newRow("repeated key, then broken") << QByteArray("{\"a\":{\"b\":1},\"a\":[1,");
        QTest::newRow("overridden member not UTF-8") << QByteArray("{\"a\":\"\xa4\",\"a\":1}");
        QTest::newRow("nested overridden, broken") << QByteArray("{\"a\":{\"b\":tru,\"b\":2},\"a\":1}");
    }

    void fromJsonThrowsTheParserCode();

    void fromJsonAcceptsAnyTopLevel()
    {
        QCOMPARE(fromJson("42").toInt(), 42);
        QCOMPARE(fromJson(" \"text\" "), QVariant(QString("text")));
        QCOMPARE(fromJson("false"), QVariant(false));
        QVERIFY(fromJson("null").isNull());
    }

    // Qt's parser leaked the earlier of two members whose value is an object or
    // array; the sanitizer build of this test fails on such a leak. The document
    // read must stay what the parser gives: the last member wins.
    void repeatedKeysKeepTheLastMember_data();
    void repeatedKeysKeepTheLastMember()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, document);
        QCOMPARE(toJson(fromJson(bytes)), document);
    }

    // A missing or blank file throws; surrounding blanks are trimmed; a valid
    // document that is not an object reads as an empty map.
    void readJsonFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("c.json");
        QVERIFY_EXCEPTION_THROWN(::readJsonFile(path), int);
        QVERIFY(writeFile(path, "  \n"));
        QVERIFY_EXCEPTION_THROWN(::readJsonFile(path), int);
        QVERIFY(writeFile(path, "\n  {\"wards\": [{\"id\": \"a\"}]}  \n\n"));
        QCOMPARE(toJson(::readJsonFile(path)), QByteArray(R"({"wards":[{"id":"a"}]})"));
        QVERIFY(writeFile(path, "[1, 2, 3]"));
        QVERIFY(::readJsonFile(path).isEmpty());
    }

    // A shorter content leaves nothing of a longer one; a failed write leaves the previous file
    // whole, and no temporary file either way; a missing folder fails quietly.
    void writeFileReplacesTheWholeFileOrNothing()
    {
        QTemporaryDir dir;
        const QString lost = dir.filePath("no/such/folder/settings.conf");
        QVERIFY(!writeFile(lost, "x"));
        QVERIFY(!QFile::exists(lost));
        QCOMPARE(readFile(lost), QByteArray());
        const QString path = dir.filePath("settings.conf");
        const QByteArray previous = R"({"wards":[{"connected":true,"id":"w1","mode":"Night"}]})";
        QVERIFY(writeFile(path, QByteArray(200, 'o')));
        QVERIFY(writeFile(path, previous));

        // A "full disk": writes beyond 64 bytes fail with EFBIG (SIGXFSZ ignored to survive it).
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit original;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &original), 0);
        rlimit limited = original;
        limited.rlim_cur = 64;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool written = writeFile(path, QByteArray(4096, 'x'));
        ::setrlimit(RLIMIT_FSIZE, &original);

        QVERIFY(!written);
        QCOMPARE(readFile(path), previous);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"settings.conf"});
    }
};

// Out of the class, where moc does not parse what the next two hold.
void TestJsonFile::fromJsonThrowsTheParserCode()
{
    QFETCH(QByteArray, bytes);
    QJsonParseError parser;
    QJsonDocument::fromJson(bytes, &parser);
    const int code = parser.error;
    QVERIFY(code != QJsonParseError::NoError);
    try {
        fromJson(bytes);
        QFAIL("no exception");
    } catch (int thrown) {
        QCOMPARE(thrown, code);
    }
}

void TestJsonFile::repeatedKeysKeepTheLastMember_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("document");
    const auto row = [](const char* name, const QByteArray& bytes, const QByteArray& document) {
        QTest::newRow(name) << bytes << document;
    };
    row("objects", R"({"a":{"x":1},"b":2,"a":{"y":2}})", R"({"a":{"y":2},"b":2})");
    row("three times, spaced", "{ \"a\" : [1] ,\n\"a\":[2], \"a\" : 3 }", R"({"a":3})");
    row("nested, in a list", R"([{"w":{"k":{"q":[1]},"k":1},"w":{"k":[{}],"k":{"z":0}}}])",
        R"([{"w":{"k":{"z":0}}}])");
    row("escaped key", R"({"\u0061\"{":{"x":1},"a\"{":[5]})", R"({"a\"{":[5]})");
    row("braces in strings", R"({"s":"}{,\\","s":{"t":"\"]"},"u":"a"})", R"({"s":{"t":"\"]"},"u":"a"})");
    row("distinct keys", R"({"a":{"b":1},"A":{"b":2}})", R"({"A":{"b":2},"a":{"b":1}})");
    row("byte order mark", "\xef\xbb\xbf{\"k\":{\"v\":1},\"k\":2}", R"({"k":2})");
}

QTEST_GUILESS_MAIN(TestJsonFile)
#include "tst_jsonfile.moc"
