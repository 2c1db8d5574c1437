#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Command-list files: plain text in the GBK code page, one list line per text
// line, each written with CR LF. Lines read end at CR LF, a lone CR or a lone
// LF, so files edited on any system load line by line.

/// True when \a path names an existing file-system entry (a folder counts too).
bool FileExists(const QString &path);

/// Appends \a text and CR LF to the file content \a file. An empty text is not
/// written; gives false then.
bool AppendListLine(QByteArray &file, const QString &text);

struct ListFileContent
{
    QStringList lines;
    bool truncated = false; // the file had more than the lines asked for
    QString error; // why the file could not be read; empty on success
};

/// The lines of the file at \a path, at most \a maxLines of them.
ListFileContent readListFile(const QString &path, int maxLines);

/// The lines of a file's content (GBK), at most \a maxLines of them.
ListFileContent parseListFile(const QByteArray &content, int maxLines);

/// Writes the non-empty \a lines to \a path. The file is replaced only once the
/// new content is complete: a failed save leaves the old file as it was.
/// A list without a non-empty line writes no file. Gives false and the reason
/// on failure.
bool writeListFile(const QString &path, const QStringList &lines, QString *error = nullptr);
