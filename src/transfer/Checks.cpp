// Whether the marked operations fit: space on the pendant, the 32-application
// menu, and the length of the one-touch button's name.
#include "app/InstallerEngine.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

#include <climits>

namespace {

// Each registered application costs 2 KiB beyond its size; so does the menu
// file while anything is registered.
constexpr int kEntryOverheadKiB = 2;
constexpr int kMenuFileKiB = 2;
// The one-touch button shows at most this many bytes of a name.
constexpr int kOneTouchNameBytes = 14;
// Names are converted into a 257-byte buffer.
constexpr qsizetype kNameBufferBytes = 256;

}  // namespace

int InstallerEngine::RequiredSpace() {
  qint64 total = 0;
  int kept = 0;
  for (const AppEntry *entry : std::as_const(m_entries)) {
    if (!entry) continue;
    switch (entry->operation) {
      case AppEntry::None:
        if (entry->registered) ++kept;
        break;
      case AppEntry::Add: {
        const qint64 difference = qint64(entry->package.fileSize) - entry->installed.fileSize;
        total += entry->registered ? difference : difference + kEntryOverheadKiB;
        ++kept;
        break;
      }
      case AppEntry::Remove:
        if (entry->registered) total -= qint64(entry->installed.fileSize) + kEntryOverheadKiB;
        break;
      default:
        break;
    }
  }
  const bool menuExists = Device::Exists(PendantMenuPath());
  if (!menuExists && kept > 0) total += kMenuFileKiB;
  if (menuExists && kept == 0) total -= kMenuFileKiB;
  return SaturatedKiB(total);
}

int InstallerEngine::FreeSpaceKiB(const QString &path) {
  const qint64 bytes = Device::FreeBytes(path);
  // A volume that cannot be asked is taken as full: 0 KiB, so that nothing is
  // installed onto a disk whose space is unknown.
  if (bytes < 0) return 0;
  return static_cast<int>(qMin<qint64>(bytes / 1024, INT_MAX));
}

int InstallerEngine::PendingCount() {
  int count = 0;
  for (const AppEntry *entry : std::as_const(m_entries))
    if (entry && entry->operation > 0) ++count;
  return count;
}

int InstallerEngine::RegisteredAfter() {
  int count = 0;
  for (const AppEntry *entry : std::as_const(m_entries)) {
    if (!entry) continue;
    if (entry->operation == AppEntry::Add ||
        (entry->registered && entry->operation != AppEntry::Remove))
      ++count;
  }
  return count;
}

int InstallerEngine::OneTouchNameCheck(AppEntry *entry) {
  if (!entry) return 0;
  QString longest;
  qsizetype longestBytes = 0;
  for (const SubMenuName &pair : entry->installed.subMenuNames) {
    if (pair.name.isEmpty()) break;
    const qsizetype bytes = qMin(CodePage::Encode(pair.name).size(), kNameBufferBytes);
    if (bytes > longestBytes) {
      longestBytes = bytes;
      longest = pair.name;
    }
  }
  if (longestBytes <= kOneTouchNameBytes) return 1;

  m_alert.SetButtonState(AlertDialog::kFirstButton, 1);
  m_alert.SetButtonState(AlertDialog::kSecondButton, 1);
  m_alert.SetYesNoCaptions(1);
  // The view takes the cursor down when the alert closes; the engine has none.
  const int answer = m_alert.ShowAlert(2023, QStringLiteral("Error name ---> (%1)").arg(longest));
  return answer == 0 ? 0 : 1;
}
