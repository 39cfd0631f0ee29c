#pragma once
// What a start-up or an Execute did, told from the registered applications
// before and after it and from what crossed the wire.
#include "app/Reporter.h"

#include <QMap>

// The registered applications: name -> installed version.
using InstalledVersions = QMap<QString, QString>;

// Fills installed, updated, removed and kept.
void CompareInstalled(const InstalledVersions &before, const InstalledVersions &after, RunSummary *summary);

// "512 bytes", "27.6 KiB", "3.0 MiB".
QString ByteSize(qint64 bytes);
// The status line that ends an Execute.
QString SummaryText(const RunSummary &summary);
