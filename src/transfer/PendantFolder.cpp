#include "PendantFolder.h"

#include "platform/Device.h"

#include <climits>

namespace PendantFolder {
namespace {

bool RemoveInto(const QString &path, std::vector<RemovalStep> &steps) {
  for (const Device::FindData &item : Device::FindFiles(QStringLiteral("%1\\*").arg(path))) {
    const QString itemPath = QStringLiteral("%1\\%2").arg(path, item.name);
    if (item.directory) {
      RemoveInto(itemPath, steps);
    } else {
      Device::DeleteFile(itemPath);
      steps.push_back({RemovalStep::FileRemoved, itemPath});
    }
  }
  const bool removed = Device::RemoveDirectory(path);
  steps.push_back({removed ? RemovalStep::FolderRemoved : RemovalStep::FolderKept, path});
  return removed;
}

}  // namespace

TreeRemoval RemoveTree(const QString &cePath) {
  TreeRemoval removal;
  if (Device::Exists(cePath)) removal.removed = RemoveInto(cePath, removal.steps);
  return removal;
}

qint64 TreeBytes(const QString &cePath) {
  qint64 total = 0;
  for (const Device::FindData &item : Device::FindFiles(QStringLiteral("%1\\*").arg(cePath)))
    total += item.directory ? TreeBytes(QStringLiteral("%1\\%2").arg(cePath, item.name)) : item.size;
  return total;
}

int FreeSpaceKiB(const QString &cePath) {
  const qint64 bytes = Device::FreeBytes(cePath);
  if (bytes < 0) return 0;
  return static_cast<int>(qMin<qint64>(bytes / 1024, INT_MAX));
}

}  // namespace PendantFolder
