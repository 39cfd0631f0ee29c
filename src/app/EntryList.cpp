#include "EntryList.h"

#include "platform/CodePage.h"

#include <utility>

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

AppEntry *EntryList::At(int index) {
  return index >= 0 && index < Count() ? &m_entries[static_cast<size_t>(index)] : nullptr;
}

const AppEntry *EntryList::At(int index) const {
  return index >= 0 && index < Count() ? &m_entries[static_cast<size_t>(index)] : nullptr;
}

AppEntry *EntryList::Find(const QString &name) { return At(IndexOf(name)); }

const AppEntry *EntryList::Find(const QString &name) const { return At(IndexOf(name)); }

int EntryList::IndexOf(const QString &name) const {
  for (int i = 0; i < Count(); ++i) {
    const QString &listed = m_entries[static_cast<size_t>(i)].name;
    if (!listed.isEmpty() && listed == name) return i;
  }
  return -1;
}

void EntryList::Sort() {
  // Swaps contents, and only moves an entry forward when it is neither marked
  // nor registered; with the readers' append order this sorts the trailing
  // medium-only packages by name and leaves the rest in place.
  for (AppEntry &first : m_entries) {
    if (first.operation != AppEntry::None || first.registered) continue;
    for (AppEntry *second = &first + 1; second != m_entries.data() + m_entries.size(); ++second) {
      const QString &a = first.name;
      const QString &b = second->name;
      // Compared as terminated strings: a name that is a prefix of the other
      // meets the terminator first and so sorts first.
      for (qsizetype k = 0;; ++k) {
        const char16_t ua = k < a.size() ? a[k].unicode() : 0;
        const char16_t ub = k < b.size() ? b[k].unicode() : 0;
        if (ua == ub) {
          if (ua == 0) break;
          continue;
        }
        if (ua > ub) std::swap(first, *second);
        break;
      }
    }
  }
}

void EntryList::SetOperation(int index, int code) {
  AppEntry *entry = At(index);
  if (!entry) return;
  switch (code) {
    case AppEntry::None:
      entry->operation = AppEntry::None;
      if (entry->installed.appPath.isEmpty()) {
        entry->autoRun = 0;
        entry->oneTouch = 0;
      }
      break;
    case AppEntry::Add:
      if (!entry->package.appVersion.isEmpty()) entry->operation = AppEntry::Add;
      break;
    case AppEntry::Remove:
      if (!entry->installed.appVersion.isEmpty()) entry->operation = AppEntry::Remove;
      break;
    default:
      entry->operation = AppEntry::None;
      break;
  }
}

int EntryList::RequiredSpace(bool menuFileExists) const {
  qint64 total = 0;
  int kept = 0;
  for (const AppEntry &entry : m_entries) {
    switch (entry.operation) {
      case AppEntry::None:
        if (entry.registered) ++kept;
        break;
      case AppEntry::Add: {
        const qint64 difference = qint64(entry.package.fileSize) - entry.installed.fileSize;
        total += entry.registered ? difference : difference + kEntryOverheadKiB;
        ++kept;
        break;
      }
      case AppEntry::Remove:
        if (entry.registered) total -= qint64(entry.installed.fileSize) + kEntryOverheadKiB;
        break;
      default:
        break;
    }
  }
  if (!menuFileExists && kept > 0) total += kMenuFileKiB;
  if (menuFileExists && kept == 0) total -= kMenuFileKiB;
  return SaturatedKiB(total);
}

int EntryList::PendingCount() const {
  return static_cast<int>(
      std::count_if(m_entries.begin(), m_entries.end(), [](const AppEntry &entry) { return entry.operation > 0; }));
}

int EntryList::RegisteredAfter() const {
  return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(), [](const AppEntry &entry) {
    return entry.operation == AppEntry::Add || (entry.registered && entry.operation != AppEntry::Remove);
  }));
}

std::optional<QString> OneTouchNameTooLong(const AppEntry &entry) {
  QString longest;
  qsizetype longestBytes = 0;
  for (const SubMenuName &pair : entry.installed.subMenuNames) {
    if (pair.name.isEmpty()) break;
    const qsizetype bytes = qMin(CodePage::Encode(pair.name).size(), kNameBufferBytes);
    if (bytes > longestBytes) {
      longestBytes = bytes;
      longest = pair.name;
    }
  }
  if (longestBytes <= kOneTouchNameBytes) return std::nullopt;
  return longest;
}
