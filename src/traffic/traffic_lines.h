#pragma once

#include "device/frame.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The lines the two traffic views show for a frame sent or a block received:
// a description line (ending LF CR), a hex line and a text line (ending LF).

/// \a prefix, the bytes as hex text (each byte two digits and a blank), LF.
QString hexLine(QStringView prefix, QByteArrayView bytes);

/// \a prefix, one character per byte (printable ASCII as itself, any other byte
/// as "."), LF.
QString textLine(QStringView prefix, QByteArrayView bytes);

/// \a description followed by LF and CR, in that order.
QString descriptionLine(const QString &description);

/// The bytes an ASCII frame spells: when \a frame starts with ":" and the
/// characters after it, up to a CR or the end, are whole pairs of hex digits.
/// Nothing otherwise.
std::optional<QByteArray> asciiFrameBytes(QByteArrayView frame);

/// The description of function code \a code followed by \a next: a standard
/// MODBUS function's name, or the function-code table's text.
std::optional<QString> describeFunction(quint8 code, quint8 next);

/// The send view's description of a frame: the function-code table's text for
/// the code at index 1. A whole ASCII frame (":", hex pairs, CR LF) is described
/// by the code it spells, in either mode.
std::optional<QString> describeSentFrame(QByteArrayView frame);

/// The leading decimal number of a counter caption; 0 when there is none.
qint64 counterValue(const QString &caption);
