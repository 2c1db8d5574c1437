// Helpers several tests share: frames from hex, files in a temporary folder.
#pragma once

#include "device/frame.h"

#include <QFile>

/// The RTU frame of \a hexPayload, its CRC appended.
inline QByteArray rtu(const QByteArray &hexPayload)
{
    return frameRtu(QByteArray::fromHex(hexPayload));
}

/// Writes \a content to \a path, over what was there; true when all of it went.
inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

/// What \a path holds, or "<missing>" when it cannot be read.
inline QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
