#pragma once
// Opening an archive for reading. libzip is asked to check it for
// consistency (every local header agrees with the directory, no data runs
// into the directory), but the end of an archive is read the way the common
// unzip tools read it: bytes after the end record's comment, or a comment
// shorter than the record says, leave the archive as valid as it was.
#include <zip.h>

#include <QString>

// The archive at a host path, or nullptr and the reason in *why.
zip_t *OpenArchive(const QString &hostPath, QString *why);
