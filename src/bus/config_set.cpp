#include "config_set.h"

#include "codec/hex_text.h"
#include "device/command_set.h"
#include "sequencer/io_table.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <climits>

namespace {

// The texts of this file, in their own translation context.
struct ConfigSetText
{
    Q_DECLARE_TR_FUNCTIONS(ConfigSet)
};

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

/// Bytes written as pairs of hex digits between blanks ("31 04 00 00 27 10"),
/// strictly: a file is not a box where a stray character may read as 0.
std::optional<QByteArray> strictHex(const QString &text)
{
    QByteArray bytes;
    for (const QString &pair : text.split(u' ', Qt::SkipEmptyParts)) {
        if (pair.size() != 2 || hexDigitValue(pair[0]) < 0 || hexDigitValue(pair[1]) < 0)
            return std::nullopt;
        bytes += char(hexDigitValue(pair[0]) * 16 + hexDigitValue(pair[1]));
    }
    return bytes;
}

QString valueText(const std::optional<qint32> &value)
{
    return value ? QString::number(*value) : QString();
}

QString valueText(const std::optional<QByteArray> &command)
{
    return command ? hexText(*command) : QString();
}

} // namespace

bool ConfigSet::isEmpty() const
{
    return *this == ConfigSet{};
}

QString parameterKey(int index)
{
    return QString::fromLatin1(motionParameters()[index].fileKey);
}

QString ioKey(int code)
{
    QString bits;
    for (int in = 5; in >= 1; --in)
        bits += code & (1 << (in - 1)) ? u'1' : u'0';
    return QStringLiteral("io ") + bits;
}

QByteArray formatConfigSet(const ConfigSet &set, const QStringList &comment)
{
    QString text;
    for (const QString &line : comment)
        text += QStringLiteral("# ") + line + u'\n';
    for (int i = 0; i < ConfigSet::parameterCount; ++i) {
        if (set.parameters[i])
            text += parameterKey(i) + QStringLiteral(" = ") + valueText(set.parameters[i]) + u'\n';
    }
    for (int code = 1; code <= ConfigSet::ioCodeCount; ++code) {
        if (set.io[code])
            text += (ioKey(code) + QStringLiteral(" = ") + valueText(set.io[code])).trimmed()
                    + u'\n';
    }
    return text.toUtf8();
}

namespace {

// A piece of a line as a message quotes it: at most 80 characters, control
// characters as escapes, so that binary or a very long line cannot flood the
// message or the terminal.
QString quoted(QStringView text)
{
    constexpr qsizetype longest = 80;
    QString out;
    for (qsizetype i = 0; i < std::min(text.size(), longest); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 || c == 0x7F)
            out += QStringLiteral("\\x") + QString::number(c, 16).rightJustified(2, u'0').toUpper();
        else
            out += QChar(c);
    }
    if (text.size() > longest)
        out += u'…';
    return out;
}

} // namespace

Result<ConfigSet> parseConfigSet(QByteArrayView bytes)
{
    static const QRegularExpression ioLine(QStringLiteral("^io ([01]{5})$"));
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    ConfigSet set;
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const auto fault = [&](const QString &what) {
            return Failure{ConfigSetText::tr("第 %1 行：%2").arg(n + 1).arg(what)};
        };
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            return fault(ConfigSetText::tr("应为“名称 = 值”：%1").arg(quoted(line)));
        const QString key = line.first(equals).simplified();
        const QString value = line.sliced(equals + 1).trimmed();
        const std::span<const ParameterInfo> keys = motionParameters();
        if (const qsizetype index = std::find_if(keys.begin(), keys.end(),
                                                 [&](const ParameterInfo &p) {
                                                     return key == QLatin1StringView(p.fileKey);
                                                 })
                    - keys.begin();
            index < ConfigSet::parameterCount) {
            bool ok = false;
            const qlonglong v = value.toLongLong(&ok);
            if (!number.match(value).hasMatch() || !ok || v < INT32_MIN || v > INT32_MAX)
                return fault(ConfigSetText::tr("%1 的值应为 -2147483648 到 2147483647 的整数：%2")
                                     .arg(key, quoted(value)));
            if (set.parameters[index])
                return fault(ConfigSetText::tr("%1 出现了两次").arg(key));
            set.parameters[index] = qint32(v);
            continue;
        }
        const QRegularExpressionMatch io = ioLine.match(key);
        if (!io.hasMatch())
            return fault(ConfigSetText::tr("未知的名称：%1").arg(quoted(key)));
        const quint8 code = ioCode(io.captured(1));
        if (code == 0)
            return fault(ConfigSetText::tr("IO 组合 00000 不能存命令"));
        if (set.io[code])
            return fault(ConfigSetText::tr("%1 出现了两次").arg(key));
        const std::optional<QByteArray> command = strictHex(value);
        if (!command || (!command->isEmpty() && !ioStorableCommand(*command)))
            return fault(ConfigSetText::tr("%1 "
                                           "的值应为一条完整的运动命令（功能码、长度、数据，十六进"
                                           "制），或留空：%2")
                                 .arg(key, quoted(value)));
        set.io[code] = *command;
    }
    return set;
}

QList<ConfigRow> compareConfigSets(const ConfigSet &expected, const ConfigSet &actual)
{
    QList<ConfigRow> rows;
    for (int i = 0; i < ConfigSet::parameterCount; ++i) {
        if (expected.parameters[i]) {
            rows.append({parameterKey(i), valueText(expected.parameters[i]),
                         valueText(actual.parameters[i]),
                         expected.parameters[i] != actual.parameters[i]});
        }
    }
    for (int code = 1; code <= ConfigSet::ioCodeCount; ++code) {
        if (expected.io[code]) {
            rows.append({ioKey(code), valueText(expected.io[code]), valueText(actual.io[code]),
                         expected.io[code] != actual.io[code]});
        }
    }
    return rows;
}
