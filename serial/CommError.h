#pragma once

// What the serial control could not do, as one explicit state. The window
// turns it into a French message; None means the last operation succeeded.
enum class CommError {
    None,
    NotFound,          // no device at the mapped path
    BadSetting,        // the settings give COM n something that is not a path (detail: the file)
    PathNotText,       // VANTREL_COM<n> is not UTF-8: no device is named so (detail: the variable)
    NotSerial,         // the path names something that is not a serial line
    PermissionDenied,  // the device exists but this user may not open it; its group may (detail: the group)
    LineRefused,       // the device refuses the line settings of COM n (detail: them)
    OwnerOnly,         // the same, but only the device's owner may (detail: the owner)
    Busy,              // another program (or another Vantrel) holds the port
    StaleLock,         // nothing holds the port, but a left-over lock file blocks the open
    BadLockFile,       // what stands at the lock file's name is not a file (a FIFO...): not tried
    DeviceGone,        // the open device went away (adapter pulled, pty closed)
    NotOpen,           // a write on a closed port: nothing was sent
    WriteFailed,       // the line refused the bytes
    Other,             // any other refusal; see CommControl::errorDetail()
};

// A refusal of an open (as opposed to a loss or a failed write): the device
// may be plugged in, freed or given access later, and the next tick tries
// again.
inline bool isOpenRefusal(CommError e)
{
    return e == CommError::NotFound || e == CommError::PermissionDenied || e == CommError::OwnerOnly
        || e == CommError::Busy || e == CommError::LineRefused || e == CommError::StaleLock
        || e == CommError::BadLockFile || e == CommError::BadSetting || e == CommError::PathNotText
        || e == CommError::NotSerial || e == CommError::Other;
}
