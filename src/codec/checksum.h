#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

// The two MODBUS check values every frame carries: the CRC-16 of RTU frames and
// the LRC of ASCII frames. Kept in the namespace CommSetting, the code module the
// window's routines know them by.
namespace CommSetting {

// Low and high byte of the last CRC-16 that CalcCrc computed. They start at 0 and
// change only when CalcCrc runs; a caller reads them right after its own call.
extern quint8 CrcLow;
extern quint8 CrcHigh;

/// MODBUS CRC-16 of all bytes of \a data (register 0xFFFF, reflected polynomial
/// 0xA001, no final XOR). Pure: touches no shared state.
quint16 crc16(QByteArrayView data) noexcept;

/// Computes the MODBUS CRC-16 of \a data, leaves its bytes in CrcLow and CrcHigh
/// and returns them as four upper-case hex digits, low byte first ("840A" for
/// the CRC 0x0A84).
QString CalcCrc(QByteArrayView data);

/// The MODBUS ASCII LRC of \a data: the two's complement of the byte sum modulo 256.
quint8 CalcLrc(QByteArrayView data) noexcept;

} // namespace CommSetting
