#pragma once

#include <QString>

// Why a serial port did not open, in words the user can act on. QSerialPort reports a
// port held by another program and a device file the user may not open both as a
// permission error; the file's own rights tell the two apart.
namespace SerialOpenError {

// The text for QSerialPort's error code on opening `name` (a name under /dev or a path);
// empty when the code needs no message.
QString text(int errorCode, const QString& name);

// The group owning the device file behind `path` (links followed), or empty.
QString owningGroup(const QString& path);

} // namespace SerialOpenError
