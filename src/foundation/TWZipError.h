#pragma once
// The error records of the zip reader and writer, and the rule for entry
// names: archives come from outside, so a name that could lead a path out of
// its folder is refused.

#include "foundation/TWError.h"

#include <QString>

inline constexpr const char *TWZipErrorDomain = "Zip Archive Error";

enum TWZipErrorCode : int {
    TWZipErrorNotOpen = 1,        // no archive is open
    TWZipErrorCannotOpen = 2,     // the archive file cannot be opened or created
    TWZipErrorDamaged = 3,        // unreadable entry, bad data or checksum
    TWZipErrorTooManyEntries = 4, // more entries than the reader accepts
    TWZipErrorEntryTooLarge = 5,  // one entry inflates beyond the limit
    TWZipErrorTotalTooLarge = 6,  // all entries together inflate beyond the limit
    TWZipErrorUnsafeName = 7,     // "..", an absolute path, a drive or NUL in a name
    TWZipErrorEncrypted = 8,      // encrypted entries are not read
    TWZipErrorCannotWrite = 9,    // an output file or the archive cannot be written
    TWZipErrorCannotRead = 10,    // a file to add cannot be read
};

// An error record of the domain above; `subject` (a path or an entry name)
// fills the text's placeholder.
TWError TWZipErrorRecord(TWZipErrorCode code, const QString &subject);

// True when the entry name can safely become a path below a folder: not
// empty, no NUL, not absolute ("/", "\", "C:"), and no ".." component with
// either kind of slash.
bool TWZipEntryNameIsSafe(const QString &name);
