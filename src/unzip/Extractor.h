#pragma once
// Runs one extraction command against the device: the archive is checked
// whole, unpacked into a fresh hidden folder beside the destination and only
// then renamed into place. A failure leaves the device as it was.
#include <QString>
#include <QStringView>

#include "UnzipApi.h"

namespace Extractor {

// Results of UnZip: 0 success, the rest tell a technician where it stopped.
enum Result : int {
  kExtracted = 0,
  kBadCommand = 1,
  kBadArchive = 2,
  kRefusedEntry = 3,
  kNoSpace = 4,
  kDestinationExists = 5,
  kWriteFailed = 6,
  kInternalError = 7,
};

// *report receives one line: what was extracted, or why not. sink, when not
// null, is told the bytes written of the archive's unpacked total: at the
// start, every 256 KiB or so, and once the folder is in place.
Result Run(QStringView command, QString *report, const UnZipProgressSink *sink = nullptr);

}  // namespace Extractor
