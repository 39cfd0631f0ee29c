#pragma once
// Prepares a device root for the installer: the pendant's flash disk with
// the extraction library at "\DiskOnChip\unzip.dll".
#include <QString>

// The built extraction library: PP_UNZIP_LIBRARY when set, else the one
// installed beside this program, else the one in the build tree.
QString BuiltExtractionLibrary();
QString DeviceExtractionLibraryHostPath();
bool PrepareDevice(QString *error);
