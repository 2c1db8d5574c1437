#pragma once

#include <QByteArray>
#include <QStringView>
#include <QtGlobal>

// The controller's IO replacement table: commands stored under a combination of
// the inputs IN1 to IN5, run by the controller when its inputs show it.

/// The most command bytes one entry can hold: the length byte counts the code too.
inline constexpr int maxIoCommandBytes = 254;

/// The input combination a selector text stands for: its five characters stand
/// for IN5, IN4, IN3, IN2, IN1 from left to right, "1" counting, anything else
/// (and a missing character) not ("00001" is 1, "10000" and "1" are 16).
quint8 ioCode(QStringView text);

/// The download request: address, 0x40, 1 + m, code, the m command bytes.
QByteArray ioDownloadPayload(quint8 address, quint8 code, const QByteArray &command);

/// The query request: address, 0x41, 1, code.
QByteArray ioQueryPayload(quint8 address, quint8 code);
