#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringView>

// The GBK code page (code page 936), in which the tool sends plain text and
// keeps command-list files. Qt has it through ICU; a Qt built without ICU has
// no GBK, and every caller must then say so instead of sending or writing nothing.

/// Text converted to GBK.
struct GbkBytes
{
    QByteArray bytes;
    bool valid = true; // false: this Qt has no GBK converter, bytes is empty
    bool complete = true; // false: a character had no GBK code and became "?"
};

/// \a text in GBK: one byte per ASCII character, two per Chinese one.
GbkBytes toGbk(QStringView text);

/// A GBK encoder and decoder; isValid() is false on a Qt without GBK.
QStringEncoder gbkEncoder(QStringConverter::Flags flags = QStringConverter::Flag::Default);
QStringDecoder gbkDecoder(QStringConverter::Flags flags = QStringConverter::Flag::Default);

/// Whether this Qt can convert GBK at all.
bool gbkAvailable();

/// The message for a Qt without GBK.
QString gbkMissingMessage();
