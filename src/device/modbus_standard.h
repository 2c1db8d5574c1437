#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

// Standard MODBUS function codes beside the controller's own: how their requests
// and replies are laid out, what they are called and what values they carry.
// Other devices share the controller's line (PLCs, meters, drives), and an
// engineer sends standard frames from the manual panel, so the exchange layer
// frames and names them too. They never feed the controller's read-back boxes.
//
// A payload here is what the check covers: station address, function code and
// the rest of the PDU.

enum class FrameRole : quint8 { Request, Reply };

/// Whether a frame with function code \a code, followed by \a next, is a standard
/// MODBUS frame rather than the controller's: 01 to 08, 0B, 0C, 0F to 11, 14 to
/// 18, and 2B with MEI type 0D or 0E (0x2B alone is the controller's "set
/// acceleration"). An exception reply is judged by its code without the top bit.
bool isStandardFunction(quint8 code, quint8 next);

/// The payload length of a standard frame in \a role whose first bytes are
/// \a bytes (at least address and code): 0 when the code has no such layout, -1
/// while the bytes that give the length have not all arrived. A CANopen
/// reference (2B / 0D) has no length of its own: -2, the check must find its end.
qsizetype standardPayloadLength(FrameRole role, QByteArrayView bytes);

/// The name of a standard function ("读保持寄存器:"), translated; nothing for
/// any other code. \a next tells 2B's MEI types apart.
std::optional<QString> standardFunctionName(quint8 code, quint8 next);

/// The values of a standard exchange as the log shows them: registers as
/// unsigned numbers ("1000 1001"), coils and inputs as bits ("1 0 0 1"), for the
/// number of them the request asked for where it is known. \a request and
/// \a reply are payloads (either may be empty); empty for anything else.
QString standardValues(QByteArrayView request, QByteArrayView reply);
