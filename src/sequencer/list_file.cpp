#include "list_file.h"

#include "codec/gbk.h"
#include "util/error_text.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

// The texts of this file, in their own translation context.
struct ListFileText
{
    Q_DECLARE_TR_FUNCTIONS(ListFile)
};

constexpr qint64 chunkSize = 64 * 1024;

// Cuts decoded text into lines as it arrives. A CR at the very end of what has
// arrived may be the first half of a CR LF, so it waits for the next piece; a
// long line is scanned once, not again with every piece.
class LineSplitter
{
public:
    explicit LineSplitter(int maxLines) : m_maxLines(maxLines) {}

    /// Takes \a text; false when a line grew beyond the longest allowed.
    bool add(QStringView text, bool atEnd)
    {
        m_pending += text;
        const qsizetype n = m_pending.size();
        qsizetype start = 0;
        qsizetype end = m_scanned;
        while (!full()) {
            while (end < n && m_pending[end] != u'\r' && m_pending[end] != u'\n')
                ++end;
            if (end == n && (!atEnd || start == n))
                break;
            if (end + 1 == n && m_pending[end] == u'\r' && !atEnd)
                break;
            if (end - start > maxListLineLength && !m_tooLong)
                m_tooLong = m_content.lines.size() + 1;
            m_content.lines.append(m_pending.mid(start, end - start));
            if (end + 1 < n && m_pending[end] == u'\r' && m_pending[end + 1] == u'\n')
                ++end;
            start = end = std::min(end + 1, n);
        }
        m_pending.remove(0, start);
        m_scanned = end - start;
        if (full() && !m_pending.isEmpty())
            m_content.truncated = true;
        if (m_pending.size() > maxListLineLength && !m_tooLong)
            m_tooLong = m_content.lines.size() + 1;
        return !m_tooLong;
    }

    bool full() const { return m_content.lines.size() >= m_maxLines; }
    void markTruncated() { m_content.truncated = true; }
    qsizetype tooLongLine() const { return m_tooLong; }
    ListFileContent take() { return std::move(m_content); }

private:
    int m_maxLines;
    QString m_pending;
    qsizetype m_scanned = 0; // how much of m_pending is known to hold no line end
    qsizetype m_tooLong = 0; // the number of the first line that is too long
    ListFileContent m_content;
};

} // namespace

bool FileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

Result<ListFileContent> readListLines(QIODevice &device, int maxLines)
{
    // The byte-order mark, if any, names the encoding; GBK otherwise.
    const QByteArray head = device.peek(4);
    const std::optional<QStringConverter::Encoding> marked =
            QStringConverter::encodingForData(head);
    QStringDecoder decoder = marked ? QStringDecoder(*marked) : gbkDecoder();
    if (!decoder.isValid())
        return Failure{gbkMissingMessage()};

    LineSplitter splitter(maxLines);
    for (;;) {
        const QByteArray chunk = device.read(chunkSize);
        if (chunk.isEmpty() && !device.atEnd())
            return Failure{ListFileText::tr("读取出错")};
        if (!splitter.add(QString(decoder.decode(chunk)), device.atEnd())) {
            return Failure{ListFileText::tr("第 %1 行超过 %2 个字符，这不是命令列表文件")
                                   .arg(splitter.tooLongLine())
                                   .arg(maxListLineLength)};
        }
        if (device.atEnd() || splitter.full())
            break;
    }
    // Past the lines wanted, the rest only tells whether there was more.
    if (splitter.full() && !device.atEnd() && !QString(decoder.decode(device.read(chunkSize))).isEmpty())
        splitter.markTruncated();
    return splitter.take();
}

Result<ListFileContent> parseListFile(const QByteArray &content, int maxLines)
{
    QByteArray copy = content;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readListLines(buffer, maxLines);
}

Result<ListFileContent> readListFile(const QString &path, int maxLines)
{
    if (!QFileInfo(path).isFile())
        return Failure{ListFileText::tr("不是普通文件（文件夹、设备或管道不能作为命令列表打开）")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{fileErrorText(file, false)};
    return readListLines(file, maxLines);
}

Status writeListFile(const QString &path, const QStringList &lines)
{
    QByteArray content;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const GbkBytes line = toGbk(lines[i]);
        if (!line.valid)
            return Failure{gbkMissingMessage()};
        if (!line.complete) {
            return Failure{ListFileText::tr("第 %1 行（%2）含有 GBK 无法保存的字符，文件未保存")
                                   .arg(i + 1)
                                   .arg(lines[i])};
        }
        content += line.bytes;
        content += "\r\n";
    }
    if (content.isEmpty())
        return Done{};
    // Unbuffered, so that a short write (a full disk, a file-size limit) shows
    // in write()'s count here and the new file is never committed half written.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Failure{fileErrorText(file, true)};
    const qint64 written = file.write(content);
    if (written != content.size()) {
        file.cancelWriting();
        return Failure{ListFileText::tr("%2 个字节只写入了 %1 个（磁盘已满？）")
                               .arg(qMax<qint64>(written, 0))
                               .arg(content.size())};
    }
    if (!file.commit())
        return Failure{fileErrorText(file, true)};
    return Done{};
}
