#pragma once
// An application folder on the pendant packed again as the archive it came
// from, so that a controller that lost its copy can be given it back.
#include "platform/Outcome.h"

#include <QString>

namespace FolderArchive {

// Packs every file below ceFolder ("\DiskOnChip\PP_APP\Alpha") into
// ceArchive, with names relative to the folder, deflated. The archive
// appears under its name only when complete; on failure whatever was there
// before stays as it was. Links are left out, never followed.
Outcome Pack(const QString &ceFolder, const QString &ceArchive);

}  // namespace FolderArchive
