#include "AppEntry.h"

const std::array<const char16_t *, kLanguageCount> kLanguageNames = {
    u"JAPANESE", u"ENGLISH", u"GERMAN",    u"SWEDISH", u"FRENCH", u"FINNISH", u"ITALIAN",
    u"SPANISH",  u"HANGUL",  u"CHINESE", u"TAIWANESE", u"CZECH", u"POLISH"};

bool IsOlderVersion(const QString &installed, const QString &package) {
  for (qsizetype i = 0;; ++i) {
    const char16_t a = i < installed.size() ? installed[i].unicode() : 0;
    const char16_t b = i < package.size() ? package[i].unicode() : 0;
    if (a != b) return a > b;
    if (a == 0) return false;
  }
}

void AdoptPackage(AppEntry &entry) {
  entry.registered = 1;
  const SubMenuNames kept = entry.installed.subMenuNames;
  entry.installed = entry.package;
  for (int i = 0; i < kSubMenuPairs; ++i) {
    if (entry.package.subMenuNames[i].language.isEmpty()) entry.installed.subMenuNames[i] = kept[i];
  }
}

void ForgetInstalled(AppEntry &entry) {
  entry.operation = AppEntry::None;
  entry.registered = 0;
  entry.autoRun = 0;
  entry.oneTouch = 0;
  AppRecord &installed = entry.installed;
  installed.fileSize = 0;
  installed.sysStatus = 0;
  installed.autoRunCapable = 0;
  installed.appVersion.clear();
  installed.systemVersion.clear();
  installed.appType.clear();
}
