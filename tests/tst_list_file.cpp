#include "sequencer/list_file.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

class TestListFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void longFileIsCut();
    void saveThenOpen();
    void savedBytes();
    void failedSaveKeepsOldFile();
    void readFailureSaysWhy();
};

void TestListFile::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("CR LF") << QByteArray("01 20 \r\nDelay:1000\r\nGoIdx:0\r\n")
                           << QStringList{"01 20 ", "Delay:1000", "GoIdx:0"};
    QTest::newRow("last line without terminator") << QByteArray("a\r\nb")
                                                  << QStringList{"a", "b"};
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("lone LF") << QByteArray("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("empty line in the middle") << QByteArray("a\r\n\r\nb\r\n")
                                              << QStringList{"a", "", "b"};
    QTest::newRow("LF CR is two line ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("GBK text") << QByteArray(QStringEncoder("GBK").encode(QStringLiteral("运动\r\n")))
                              << QStringList{QStringLiteral("运动")};
}

void TestListFile::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, lines);
    const ListFileContent parsed = parseListFile(content, 32767);
    QCOMPARE(parsed.lines, lines);
    QVERIFY(!parsed.truncated);
}

void TestListFile::longFileIsCut()
{
    QByteArray content;
    for (int i = 0; i < 32770; ++i)
        content += "Delay:" + QByteArray::number(i) + "\n";
    const ListFileContent parsed = parseListFile(content, 32767);
    QCOMPARE(parsed.lines.size(), 32767);
    QCOMPARE(parsed.lines.last(), QStringLiteral("Delay:32766"));
    QVERIFY(parsed.truncated);
    QVERIFY(!parseListFile("a\r\nb\r\n", 2).truncated);
}

void TestListFile::saveThenOpen()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    const QStringList lines{"01 31 04 00 00 27 10 E4 1D ", "Delay:1000", "GoIdx:0",
                            "3A 30 31 0D 0A "};
    QVERIFY(writeListFile(path, lines));
    const ListFileContent read = readListFile(path, 32767);
    QCOMPARE(read.error, QString());
    QCOMPARE(read.lines, lines);
}

void TestListFile::savedBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeListFile(path, {"01 20 ", "", "GoIdx:0", QStringLiteral("注释")}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // CR LF after every line, the empty line left out, GBK for the rest.
    QCOMPARE(file.readAll(), QByteArray("01 20 \r\nGoIdx:0\r\n\xD7\xA2\xCA\xCD\r\n"));
    // A list without a line writes no file.
    const QString none = dir.filePath(QStringLiteral("none.txt"));
    QVERIFY(writeListFile(none, {"", ""}));
    QVERIFY(!QFile::exists(none));
}

void TestListFile::failedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeListFile(path, {"old line"}));

    // A file-size limit makes the write fail part way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool saved = writeListFile(path, QStringList(1000, QStringLiteral("Delay:1000")), &error);
    setrlimit(RLIMIT_FSIZE, &previous);

    QVERIFY(!saved);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readListFile(path, 32767).lines, QStringList{"old line"});
}

void TestListFile::readFailureSaysWhy()
{
    QTemporaryDir dir;
    const ListFileContent missing = readListFile(dir.filePath(QStringLiteral("no.txt")), 10);
    QVERIFY(!missing.error.isEmpty());
    const ListFileContent folder = readListFile(dir.path(), 10);
    QVERIFY(!folder.error.isEmpty());
    QVERIFY(folder.lines.isEmpty());
}

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_list_file.moc"
