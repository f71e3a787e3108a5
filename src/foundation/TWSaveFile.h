#pragma once
// Finishing a file written through QSaveFile: the temporary file replaces the target only when
// every byte reached the disk, so a failed write (a full disk) never empties a stored file.

#include "foundation/TWError.h"

class QSaveFile;

// Flushes the file's buffer and renames the temporary file over the target. When a write or the
// flush failed (`written` false, or the device holds an error), the temporary file is discarded,
// the target stays as it was and the error carries the device's own reason as its description;
// a file that could not be opened gives its reason the same way. Empty on success.
TWErrorResult twCommitSaveFile(QSaveFile &file, bool written = true);
