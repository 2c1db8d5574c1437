#include "sequencer/list_file.h"
#include "test_util.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

class TestListFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        // Each file is read for as many lines as it should give.
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("truncated");
        auto row = [](const char *name, const QByteArray &content, const QStringList &lines,
                      bool truncated = false) {
            QTest::newRow(name) << content << lines << truncated;
        };
        row("CR LF, LF, CR; LF CR", "a\r\n\r\nb\nc\rd\n\re\r", {"a", "", "b", "c", "d", "", "e"});
        row("GBK, no end on the last line", "\xD4\xCB\xB6\xAF\r\n01 20", {"运动", "01 20"});
        row("CR LF across a read", QByteArray(65535, 'A') + "\r\nb", {QString(65535, u'A'), "b"});
        // A byte-order mark names the encoding and is no part of the first line.
        row("UTF-8 mark", "\xEF\xBB\xBF\xE8\xBF\x90\r\nDelay:1", {"运", "Delay:1"});
        row("UTF-16 LE", QByteArray::fromHex("FFFE44003A0031000D000A003200"), {"D:1", "2"});
        row("one line more", "a\r\nb\r\n\n", {"a", "b"}, true);
    }
    void parse()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, lines);
        QFETCH(bool, truncated);
        const Result<ListFileContent> parsed = parseListFile(content, int(lines.size()));
        QVERIFY(parsed && parsed->truncated == truncated);
        QCOMPARE(parsed->lines, lines);
    }

    void save()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.txt"));
        QVERIFY(writeListFile(path, {"01 20 ", "", "GoIdx:0", QStringLiteral("注释")}));
        // CR LF after every line, the empty line left out, GBK for the rest.
        QCOMPARE(fileContent(path), QByteArray("01 20 \r\nGoIdx:0\r\n\xD7\xA2\xCA\xCD\r\n"));
        const QString none = dir.filePath(QStringLiteral("none.txt"));
        QVERIFY(writeListFile(none, {"", ""})); // no line: no file
        const Status refused = writeListFile(none, {"Delay:1", QStringLiteral("GoIdx:1 😀")});
        QVERIFY(!refused && refused.error().contains(u"第 2 行") && !QFile::exists(none));
        // A file-size limit makes the write fail part way, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit small{4096, previous.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const Status failed = writeListFile(path, QStringList(1000, QStringLiteral("Delay:1")));
        setrlimit(RLIMIT_FSIZE, &previous);
        QVERIFY(!failed && !failed.error().isEmpty());
        QCOMPARE(readListFile(path, 10)->lines, (QStringList{"01 20 ", "GoIdx:0", "注释"}));
    }

    void readRefusals()
    {
        // Missing, a folder, an endless device, a pipe nobody writes to, a line too long.
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo), 0600), 0);
        QFile huge(dir.filePath(QStringLiteral("huge.txt")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(maxListLineLength + 1)); // NULs
        for (const QString &path : {dir.filePath(QStringLiteral("missing.txt")), dir.path(),
                                    QStringLiteral("/dev/zero"), fifo, huge.fileName()}) {
            const Result<ListFileContent> read = readListFile(path, 10);
            QVERIFY2(!read && !read.error().isEmpty(), qPrintable(path));
        }
    }
};

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_list_file.moc"
