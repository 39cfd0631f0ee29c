#pragma once
// The list model: every application known on either side, in the order the
// list shows them, and the operator's marks on them. The entries are values
// owned here. The space and count checks are pure functions of the list.
#include "files/AppEntry.h"

#include <QString>
#include <optional>
#include <vector>

class EntryList {
 public:
  int Count() const { return static_cast<int>(m_entries.size()); }
  bool IsEmpty() const { return m_entries.empty(); }
  // nullptr outside the list. Valid until the list changes its length.
  AppEntry *At(int index);
  const AppEntry *At(int index) const;
  AppEntry *Find(const QString &name);
  const AppEntry *Find(const QString &name) const;
  int IndexOf(const QString &name) const;  // -1 when not listed

  void Append(AppEntry entry) { m_entries.push_back(std::move(entry)); }
  void Assign(std::vector<AppEntry> entries) { m_entries = std::move(entries); }
  void Clear() { m_entries.clear(); }
  const std::vector<AppEntry> &Values() const { return m_entries; }
  auto begin() { return m_entries.begin(); }
  auto end() { return m_entries.end(); }
  auto begin() const { return m_entries.begin(); }
  auto end() const { return m_entries.end(); }

  // Sorts by name the entries that are neither marked nor registered (those
  // only the medium offers), which the readers append last. Each such entry
  // swaps contents with any later one whose name sorts first, so a marked or
  // registered entry behind it moves forward too: the readers put none there,
  // but a mark cleared by the operator can.
  void Sort();
  // The operator's mark: Add only with a package, Remove only with an
  // installed version; clearing the mark of an application that is not
  // installed clears its auto-run and one-touch marks too.
  void SetOperation(int index, int code);

  // KiB the marks need on the pendant beyond what is in use now (negative
  // when they free space); menuFileExists: the pendant holds a menu file.
  int RequiredSpace(bool menuFileExists) const;
  int PendingCount() const;     // entries marked Add or Remove
  int RegisteredAfter() const;  // registered once the marks are carried out

 private:
  std::vector<AppEntry> m_entries;
};

// The longest sub-menu name of the installed record (the first of equal
// length) when it is longer than the one-touch button shows.
std::optional<QString> OneTouchNameTooLong(const AppEntry &entry);
