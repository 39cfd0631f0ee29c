#include "PendantFolder.h"

#include "platform/Device.h"

#include <climits>

namespace PendantFolder {
namespace {

const QString kChangeMarker = QStringLiteral("PP_WORK.FLG");

QString MarkerOf(const QString &appFolder) { return QStringLiteral("%1\\%2").arg(appFolder, kChangeMarker); }

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

int FreeSpaceKiB(const QString &cePath) {
  const qint64 bytes = Device::FreeBytes(cePath);
  if (bytes < 0) return 0;
  return static_cast<int>(qMin<qint64>(bytes / 1024, INT_MAX));
}

Change::Change(const QString &appFolder) : m_folder(appFolder) {
  // Without the folder there is no menu file either, and the next start
  // rebuilds in any case.
  if (Device::IsDirectory(m_folder)) Device::WriteFileAtomically(MarkerOf(m_folder), QByteArray());
}

Change::~Change() {
  // Everything unpacked under the mark reaches the flash disk before the mark
  // goes: one flush for the whole change rather than one per file.
  Device::FlushVolume(m_folder);
  Device::DeleteFile(MarkerOf(m_folder));
}

bool Change::Interrupted(const QString &appFolder) { return Device::Exists(MarkerOf(appFolder)); }

}  // namespace PendantFolder
