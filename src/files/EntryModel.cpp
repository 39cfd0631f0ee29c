// The list model: the engine's entries and the operator's marks on them.
#include "app/InstallerEngine.h"

#include <utility>

AppEntry *InstallerEngine::EntryAt(int index) const {
  if (index < 0 || index >= m_entries.size()) return nullptr;
  return m_entries[index];
}

void InstallerEngine::AppendEntry(AppEntry *entry) {
  m_entries.append(entry);
  ++m_nEntryCount;
}

void InstallerEngine::ClearEntries() {
  qDeleteAll(m_entries);
  m_entries.clear();
  m_nEntryCount = 0;
}

AppEntry *InstallerEngine::FindEntry(const QString &name) const {
  for (AppEntry *entry : m_entries) {
    if (!entry) break;
    if (entry->name.isEmpty()) continue;
    if (entry->name == name) return entry;
  }
  return nullptr;
}

void InstallerEngine::SortEntries() {
  // Swaps contents, not objects, and only moves an entry forward when it is
  // neither marked nor registered; with the readers' append order this sorts
  // the trailing medium-only packages by name and leaves the rest in place.
  for (qsizetype i = 0; i < m_entries.size(); ++i) {
    AppEntry *first = m_entries[i];
    if (!first || first->operation != AppEntry::None || first->registered) continue;
    for (qsizetype j = i + 1; j < m_entries.size(); ++j) {
      AppEntry *second = m_entries[j];
      if (!second) continue;
      const QString &a = first->name;
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
        if (ua > ub) std::swap(*first, *second);
        break;
      }
    }
  }
}

void InstallerEngine::SetOperation(int index, int code) {
  AppEntry *entry = EntryAt(index);
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

int InstallerEngine::GetOperation(int index) const {
  const AppEntry *entry = EntryAt(index);
  return entry ? entry->operation : 0;
}

bool InstallerEngine::HasPendantVersion(int index) const {
  const AppEntry *entry = EntryAt(index);
  return entry && !entry->installed.appVersion.isEmpty();
}
