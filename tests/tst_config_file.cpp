// Configuration files on disk: what is refused before it is read, with which
// message, and what a file's byte-order mark does.

#include "bus/config_file.h"
#include "test_util.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QString>("name"); // in a fresh folder; an absolute path as it is
        QTest::addColumn<QByteArray>("content"); // written first, unless the row makes it
        QTest::addColumn<QString>("outcome"); // the message after the path, or "max_speed=N"
        const auto row = [](const char *tag, const QString &name, const QByteArray &content,
                            const QString &outcome) {
            QTest::newRow(tag) << name << content << outcome;
        };
        const QByteArray text = "max_speed = 20\n";
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        row("plain", u"a.conf"_s, text, u"max_speed=20"_s);
        row("UTF-8 mark", u"a.conf"_s, "\xEF\xBB\xBF" + text, u"max_speed=20"_s);
        row("UTF-16 mark", u"a.conf"_s, utf16(u"max_speed = 20\n"_s), u"max_speed=20"_s);
        row("missing", u"none.conf"_s, {}, u"无法打开 %1：文件不存在"_s);
        row("folder", u"."_s, {}, u"无法打开 %1：这是一个文件夹"_s);
        row("unreadable", u"locked.conf"_s, text, u"无法打开 %1：没有读这个文件的权限"_s);
        row("fifo", u"fifo"_s, {}, u"无法打开 %1：这不是普通文件"_s);
        row("device", u"/dev/zero"_s, {}, u"无法打开 %1：这不是普通文件"_s);
        row("too large", u"big.conf"_s, QByteArray(maxConfigFileBytes + 1, '#'),
            u"%1 超过 1048576 字节，不是配置文件"_s);
        row("empty", u"a.conf"_s, "# nothing\n", u"%1 不能用：既没有参数，也没有 IO 项"_s);
        row("bad line", u"a.conf"_s, "top = 1\n", u"%1 不能用：第 1 行：未知的名称：top"_s);
    }
    void read()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        const QString path = name.startsWith(u'/') ? name : dir.filePath(name);
        if (name == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (!content.isEmpty())
            QVERIFY(writeFile(path, content));
        if (name == u"locked.conf") {
            if (::geteuid() == 0)
                QSKIP("root reads every file");
            QFile::setPermissions(path, QFile::WriteOwner);
        }
        const Result<ConfigSet> set = readConfigFile(path);
        const QString got = set ? u"max_speed="_s + QString::number(set->parameters[1].value_or(-1))
                                : set.error();
        QCOMPARE(got, outcome.contains(u'%') ? outcome.arg(path) : outcome);
    }

    void write()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"no"_s);
        const Status refused = writeConfigFile(folder + u"/a.conf"_s, ConfigSet{}, {});
        QCOMPARE(refused.error(), u"无法写入 %1/a.conf：文件夹 %1 不存在"_s.arg(folder));
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_config_file.moc"
