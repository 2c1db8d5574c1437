#pragma once

#include <QSerialPort>
#include <QString>

class QFileDevice;

// The reasons a file or a port failed, phrased by the tool in the window's
// language instead of the library's English.

/// Why an operation on \a file failed, from its error code and what the file
/// system shows now; \a writing says whether it was opened or written for writing.
QString fileErrorText(const QFileDevice &file, bool writing);

/// Why the serial port failed, from its error code.
QString serialErrorText(QSerialPort::SerialPortError error);
