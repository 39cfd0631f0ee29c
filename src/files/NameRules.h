#pragma once
// Names read from files on a medium or on the flash disk (application names,
// folder names, icon file names) become components of paths that are
// extracted into and deleted. Every reader checks them here before they can
// reach a path.
#include <QString>

// The longest name accepted, in UTF-16 code units.
inline constexpr int kMaxPathNameLength = 64;

// True when the name can stand as one component of a path inside a folder:
// no "\", "/" or ":", no "..", not ".", no control character, none of the
// characters FAT refuses (they include the wildcards of our enumeration), at
// most 64 characters. An empty name passes: readers treat it as absent.
bool IsSafePathName(const QString &name);

// The name under which FAT files a name: case folded, trailing dots and
// spaces dropped ("Tool. " and "TOOL" are one file).
QString FatKey(const QString &name);

// A folder an application may own inside the application folder: a safe
// name that FAT does not trim to nothing, no device name (CON, COM1, ...),
// and none of the installer's own names (the menu file, its backup, the
// work marker and folder, hidden names).
bool IsUsableFolderName(const QString &name);
