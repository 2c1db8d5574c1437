#include "list_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

bool FileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool AppendListLine(QByteArray &file, const QString &text)
{
    if (text.isEmpty())
        return false;
    QStringEncoder encoder("GBK");
    file += encoder.encode(text);
    file += "\r\n";
    return true;
}

ListFileContent parseListFile(const QByteArray &content, int maxLines)
{
    ListFileContent result;
    QStringDecoder decoder("GBK");
    const QString text = decoder.decode(content);
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        if (result.lines.size() >= maxLines) {
            result.truncated = true;
            break;
        }
        result.lines.append(text.mid(start, end - start));
        // CR LF, a lone CR and a lone LF each end one line.
        if (end < n && text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    return result;
}

ListFileContent readListFile(const QString &path, int maxLines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ListFileContent failed;
        failed.error = file.errorString();
        return failed;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        ListFileContent failed;
        failed.error = file.errorString();
        return failed;
    }
    return parseListFile(content, maxLines);
}

bool writeListFile(const QString &path, const QStringList &lines, QString *error)
{
    QByteArray content;
    for (const QString &line : lines)
        AppendListLine(content, line);
    if (content.isEmpty())
        return true;
    // Unbuffered, so that a short write (a full disk, a file-size limit) shows
    // in write()'s count here and the new file is never committed half written.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const qint64 written = file.write(content);
    if (written != content.size()) {
        if (error) {
            *error = QCoreApplication::translate("ListFile", "only %1 of %2 bytes could be written")
                             .arg(qMax<qint64>(written, 0))
                             .arg(content.size());
        }
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
