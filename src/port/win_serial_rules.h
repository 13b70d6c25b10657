#pragma once

#include "link.h"

#include <QString>

namespace halvo::port::win {

// What the Win32 serial link decides without Windows: the line it sets, how long a
// read waits, what an error code means, and when a frame has left. Kept apart so the
// rules build and are tested on every system.

// Win32 error codes the link meets, as winerror.h numbers them.
enum Win32Error : quint32 {
    ErrorFileNotFound = 2,
    ErrorPathNotFound = 3,
    ErrorAccessDenied = 5,
    ErrorInvalidHandle = 6,
    ErrorBadCommand = 22,
    ErrorGenFailure = 31,
    ErrorSharingViolation = 32,
    ErrorOperationAborted = 995,
    ErrorIoPending = 997,
    ErrorDeviceNotConnected = 1167,
};

// The unit's line, "38400,N,8,1", as the fields of a DCB: binary, no parity check,
// no flow control of either kind, DTR and RTS raised as a Linux open leaves them,
// and no abort of pending reads on a line error.
struct LineSettings
{
    quint32 baudRate = 38400;
    quint8 byteSize = 8;
    quint8 parity = 0;   // NOPARITY
    quint8 stopBits = 0; // ONESTOPBIT
    bool binary = true;
    bool parityCheck = false;
    bool ctsFlow = false, dsrFlow = false, dsrSensitivity = false;
    bool xonXoffOut = false, xonXoffIn = false;
    quint8 dtrControl = 1; // DTR_CONTROL_ENABLE
    quint8 rtsControl = 1; // RTS_CONTROL_ENABLE
    bool abortOnError = false;
};
LineSettings Unit_Line();

// COMMTIMEOUTS: none at all, so a read waits for as many bytes as it asks for. The
// link keeps a one-byte read pending, which completes with the first byte of what
// the unit sends, and then takes what the driver holds besides (ClearCommError's
// cbInQue) in a read of exactly that many bytes, which completes at once. (A read
// that "returns what is there" needs ReadIntervalTimeout MAXDWORD, which either
// returns at once with nothing, a busy loop, or is not honoured by every driver.)
struct Timeouts
{
    quint32 readInterval = 0, readMultiplier = 0, readConstant = 0;
    quint32 writeMultiplier = 0, writeConstant = 0;
};
Timeouts Reads_Wait_For_Their_Bytes();
// How many bytes to take in the read that follows the first byte: all the driver
// holds, at most what the buffer takes.
quint32 Bytes_To_Take(quint32 inQueue, quint32 bufferSize);

// The name CreateFile opens: "COM12" gives "\\.\COM12" (needed above COM9, harmless
// below); a name that already has the prefix is kept.
QString Device_Path(const QString &port);
// The number of a COM port's name: "COM12" and "com3" give 12 and 3; anything else 0.
int Com_Number(const QString &name);

// Why CreateFile refused. Windows says "access denied" when another program has the
// port open (a COM port is opened exclusively), so that is "in use", not a matter of
// rights.
Link::OpenError Open_Error(quint32 code);
// The bytes of a frame that have not left yet: all of it while its write is still
// pending in the driver, then what the driver's output queue (ClearCommError's
// cbOutQue) still holds. A frame has gone out when this is 0.
qint64 Bytes_Not_Out(bool writePending, qint64 frameBytes, quint32 outQueue);

// A Win32 error as a sentence for the operator's message ("access denied (5)").
QString Error_Text(quint32 code, const QString &systemText);

} // namespace halvo::port::win
