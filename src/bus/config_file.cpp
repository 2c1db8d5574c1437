#include "config_file.h"

#include "util/error_text.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

struct ConfigFileText
{
    Q_DECLARE_TR_FUNCTIONS(ConfigFile)
};

// The file's text as UTF-8: a UTF-16 or UTF-32 file (named by its mark) is
// converted, a UTF-8 mark taken off.
std::optional<QByteArray> asUtf8(const QByteArray &content)
{
    const std::optional<QStringConverter::Encoding> marked =
            QStringConverter::encodingForData(content);
    if (!marked)
        return content;
    QStringDecoder decoder(*marked, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(content);
    if (decoder.hasError())
        return std::nullopt;
    return text.toUtf8();
}

} // namespace

Result<ConfigSet> readConfigFile(const QString &path)
{
    QFile file(path);
    const QFileInfo info(path);
    // Checked before opening: opening a pipe waits for a writer.
    if (info.exists() && !info.isDir() && !info.isFile())
        return Failure{ConfigFileText::tr("无法打开 %1：这不是普通文件").arg(path)};
    if (!file.open(QIODevice::ReadOnly))
        return Failure{ConfigFileText::tr("无法打开 %1：%2").arg(path, fileErrorText(file, false))};
    const QByteArray content = file.read(maxConfigFileBytes + 1);
    if (content.size() > maxConfigFileBytes) {
        return Failure{
                ConfigFileText::tr("%1 超过 %2 字节，不是配置文件").arg(path).arg(maxConfigFileBytes)};
    }
    if (file.error() != QFileDevice::NoError)
        return Failure{ConfigFileText::tr("无法读取 %1：%2").arg(path, fileErrorText(file, false))};
    const std::optional<QByteArray> text = asUtf8(content);
    if (!text)
        return Failure{ConfigFileText::tr("%1 不能用：字节与文件开头标明的编码不符").arg(path)};
    const Result<ConfigSet> set = parseConfigSet(*text);
    if (!set)
        return Failure{ConfigFileText::tr("%1 不能用：%2").arg(path, set.error())};
    if (set->isEmpty())
        return Failure{ConfigFileText::tr("%1 不能用：既没有参数，也没有 IO 项").arg(path)};
    return set;
}

Status writeConfigFile(const QString &path, const ConfigSet &set, const QStringList &comment)
{
    QSaveFile file(path);
    const QByteArray text = formatConfigSet(set, comment);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return Failure{ConfigFileText::tr("无法写入 %1：%2").arg(path, fileErrorText(file, true))};
    return Done{};
}
