#pragma once
// Puts the extraction library built by this project into a sandbox device as
// \DiskOnChip\unzip.dll, where the installer loads it from.
#include <QString>

class Sandbox;

enum class UnzipVariant {
  Complete,        // exports UnZipGetVersion and UnZip
  WithoutVersion,  // lacks UnZipGetVersion, as a foreign or broken library would
};

// Host path of the built library.
QString BuiltUnzipLibrary(UnzipVariant variant);
// Copies it to \DiskOnChip\unzip.dll, replacing what is there.
bool InstallUnzipLibrary(const Sandbox &box, UnzipVariant variant = UnzipVariant::Complete);
