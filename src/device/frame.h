#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

// The controller's request on the wire. A payload is station address, function
// code, length byte and big-endian data; it goes out either as an RTU frame
// (payload, CRC low byte, CRC high byte) or as an ASCII frame (":", two hex
// digits per byte, the LRC as two hex digits, CR, LF).

enum class CommMode { Rtu, Ascii };

/// The mode a selector text stands for: exactly "Modbus RTU" is RTU, any other
/// text (other letter case, a trailing blank, empty) is ASCII.
CommMode commModeFromText(QStringView modeText);

/// The payload followed by its CRC-16, low byte first. Leaves the CRC in
/// CommSetting::CrcLow and CrcHigh, like every CRC the program computes.
QByteArray frameRtu(QByteArrayView payload);

/// ":" then each payload byte and the payload's LRC as two upper-case hex digit
/// characters, then CR LF: 2n + 5 characters for n payload bytes.
QByteArray frameAscii(QByteArrayView payload);

/// The frame for \a mode.
QByteArray frameRequest(QByteArrayView payload, CommMode mode);

/// A payload of address, code, length byte and \a data (at most 255 bytes).
QByteArray makePayload(quint8 address, quint8 code, QByteArrayView data = {});

/// Four data bytes: \a value in two's complement, most significant byte first.
QByteArray int32BigEndian(qint32 value);

/// Four data bytes: the direction byte, then the low 24 bits of \a value, most
/// significant first (bits above 23 are dropped).
QByteArray directionAnd24Bit(quint8 direction, qint32 value);
