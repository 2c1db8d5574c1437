#pragma once

#include "util/result.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

// Command-list files: plain text in the GBK code page, one list line per text
// line, each written with CR LF. Lines read end at CR LF, a lone CR or a lone
// LF, so files edited on any system load line by line. A file that starts with
// a byte-order mark is read in the encoding the mark names (UTF-8, UTF-16), so
// that a list saved by a text editor loads as it shows there.

/// True when \a path names an existing file-system entry (a folder counts too).
bool FileExists(const QString &path);

/// The longest line a list file may hold, in characters: far beyond any frame a
/// controller takes, and a bound on what one line may cost to read.
inline constexpr qsizetype maxListLineLength = 16 * 1024 * 1024;

struct ListFileContent
{
    QStringList lines;
    bool truncated = false; // the file had more than the lines asked for
};

/// The lines of the list file at \a path, at most \a maxLines of them. Only a
/// regular file is read (a device or a pipe could block or never end), and only
/// as far as the lines asked for: a huge file costs no more than those lines.
Result<ListFileContent> readListFile(const QString &path, int maxLines);

/// The lines read from \a device, as readListFile() reads a file.
Result<ListFileContent> readListLines(QIODevice &device, int maxLines);

/// The lines of a file's content, as readListFile() reads a file.
Result<ListFileContent> parseListFile(const QByteArray &content, int maxLines);

/// Writes the non-empty \a lines to \a path. The file is replaced only once the
/// new content is complete: a failed save leaves the old file as it was. A line
/// with a character that GBK cannot hold fails the save before anything is
/// written, naming the line. A list without a non-empty line writes no file.
Status writeListFile(const QString &path, const QStringList &lines);
