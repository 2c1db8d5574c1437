#pragma once

#include "config_set.h"
#include "util/result.h"

#include <QString>
#include <QStringList>

// Configuration files on disk, read and written the same way by the window and
// stepperbench-cli, with the same messages. Only a regular file is read (a pipe
// or a device could block or never end), and no more of it than a configuration
// set can hold; a byte-order mark names the encoding as it does for list files.

/// A configuration file larger than this is no configuration file.
inline constexpr qint64 maxConfigFileBytes = 1024 * 1024;

/// The set in the file \a path, checked whole; the message names the file. A
/// file that holds neither a parameter nor an IO entry is refused.
Result<ConfigSet> readConfigFile(const QString &path);

/// Writes \a set to \a path, after the comment lines \a comment, replacing the
/// file only once the new content is complete.
Status writeConfigFile(const QString &path, const ConfigSet &set, const QStringList &comment);
