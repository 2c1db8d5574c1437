#include "sequencer/list_file.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

class TestListFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void longFileIsCut();
    void savedBytes();
    void saveRefusesWhatGbkCannotHold();
    void failedSaveKeepsOldFile();
    void readRefusals_data();
    void readRefusals();
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
    QTest::newRow("GBK text") << QByteArray("\xD4\xCB\xB6\xAF\r\n") << QStringList{"运动"};
    QTest::newRow("CR LF across a read") << QByteArray(65535, 'A') + "\r\nb"
                                         << QStringList{QString(65535, u'A'), "b"};
    // A byte-order mark names the encoding and is no part of the first line.
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF" "01 20 00 39 C0 \r\nDelay:100\r\n")
                                << QStringList{"01 20 00 39 C0 ", "Delay:100"};
    QTest::newRow("UTF-8 mark, Chinese") << QByteArray("\xEF\xBB\xBF\xE8\xBF\x90\r\n")
                                         << QStringList{"运"};
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE" "D\0:\0" "1\0\r\0\n\0" "2\0", 14)
                               << QStringList{"D:1", "2"};
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0D\0\n\0" "2", 8) << QStringList{"D", "2"};
}

void TestListFile::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, lines);
    const Result<ListFileContent> parsed = parseListFile(content, 32767);
    QVERIFY(parsed);
    QCOMPARE(parsed->lines, lines);
    QVERIFY(!parsed->truncated);
}

void TestListFile::longFileIsCut()
{
    QByteArray content;
    for (int i = 0; i < 32770; ++i)
        content += "Delay:" + QByteArray::number(i) + "\n";
    const Result<ListFileContent> parsed = parseListFile(content, 32767);
    QCOMPARE(parsed->lines.size(), 32767);
    QCOMPARE(parsed->lines.last(), QStringLiteral("Delay:32766"));
    QVERIFY(parsed->truncated);
    QVERIFY(!parseListFile("a\r\nb\r\n", 2)->truncated);
    QVERIFY(parseListFile("a\r\nb\r\n\n", 2)->truncated);
}

void TestListFile::savedBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    const QStringList lines{"01 20 ", "", "GoIdx:0", QStringLiteral("注释")};
    QVERIFY(writeListFile(path, lines));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // CR LF after every line, the empty line left out, GBK for the rest.
    QCOMPARE(file.readAll(), QByteArray("01 20 \r\nGoIdx:0\r\n\xD7\xA2\xCA\xCD\r\n"));
    QCOMPARE(readListFile(path, 32767)->lines, (QStringList{"01 20 ", "GoIdx:0", "注释"}));
    // A list without a line writes no file.
    const QString none = dir.filePath(QStringLiteral("none.txt"));
    QVERIFY(writeListFile(none, {"", ""}));
    QVERIFY(!QFile::exists(none));
}

void TestListFile::saveRefusesWhatGbkCannotHold()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    const Status saved = writeListFile(path, {"Delay:100", QStringLiteral("GoIdx:1 😀")});
    QVERIFY(!saved);
    QVERIFY(saved.error().contains(u"第 2 行"));
    QVERIFY(!QFile::exists(path));
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
    const Status saved = writeListFile(path, QStringList(1000, QStringLiteral("Delay:1000")));
    setrlimit(RLIMIT_FSIZE, &previous);

    QVERIFY(!saved);
    QVERIFY(!saved.error().isEmpty());
    QCOMPARE(readListFile(path, 32767)->lines, QStringList{"old line"});
}

void TestListFile::readRefusals_data()
{
    QTest::addColumn<QString>("path"); // "" for a file made by the test
    QTest::newRow("missing") << QStringLiteral("missing.txt");
    QTest::newRow("folder") << QStringLiteral(".");
    QTest::newRow("endless device") << QStringLiteral("/dev/zero");
    QTest::newRow("pipe nobody writes to") << QStringLiteral("fifo");
    QTest::newRow("a line too long") << QString();
}

void TestListFile::readRefusals()
{
    QFETCH(QString, path);
    QTemporaryDir dir;
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))), 0600) == 0);
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("huge.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(maxListLineLength + 1)); // NULs: one line with no end
    }
    const Result<ListFileContent> read = readListFile(QDir(dir.path()).filePath(path), 10);
    QVERIFY(!read);
    QVERIFY(!read.error().isEmpty());
}

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_list_file.moc"
