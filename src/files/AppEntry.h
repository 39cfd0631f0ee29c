#pragma once
// One application of the list model: what the pendant's menu file registers
// (the installed record) and what the medium offers (the package record).
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <array>
#include <climits>

// A sum of sizes in KiB, taken wide, as the int the list and the checks
// show: sizes come from files as written, and a huge claim must read as
// huge, never wrap round into a small or negative number.
inline int SaturatedKiB(qint64 kib) { return static_cast<int>(std::clamp<qint64>(kib, INT_MIN, INT_MAX)); }

// Sub-menu names are kept for the first 12 of these 13 languages; "POLISH"
// is listed but never read or written.
inline constexpr int kLanguageCount = 13;
inline constexpr int kSubMenuPairs = 12;
extern const std::array<const char16_t *, kLanguageCount> kLanguageNames;

struct SubMenuName {
  QString language;  // empty: pair unused
  QString name;
  bool operator==(const SubMenuName &) const = default;
};
using SubMenuNames = std::array<SubMenuName, kSubMenuPairs>;

struct AppRecord {
  int topMenuId = 0;
  QString folder;
  QString appPath;
  QString iconPath;
  QString appVersion;
  QString systemVersion;
  int fileSize = 0;  // KiB
  int sysStatus = 0;
  QString appType;
  int autoRunCapable = 0;
  SubMenuNames subMenuNames;
  bool operator==(const AppRecord &) const = default;
};

struct AppEntry {
  enum Operation { None = 0, Add = 1, Remove = 2 };
  int operation = None;
  int registered = 0;
  QString name;
  AppRecord installed;
  AppRecord package;
  int autoRun = 0;
  int oneTouch = 0;
};

// True when the package's version is older than the installed one. Versions
// compare as terminated UTF-16 texts, unit by unit: a package "1.9" is not
// older than an installed "1.10", and an empty installed version is older
// than anything.
bool IsOlderVersion(const QString &installed, const QString &package);

// After the package was unpacked: registered with the package's record;
// languages the package does not name keep the installed names.
void AdoptPackage(AppEntry &entry);

// After its files went on both sides: no longer registered, no marks. Name,
// folder and paths stay so that the row still says what it was.
void ForgetInstalled(AppEntry &entry);
