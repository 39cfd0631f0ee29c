#include "OptionCommand.h"

#include "InstallerEngine.h"

OptionCandidates CollectOptionCandidates(const InstallerEngine &engine) {
  OptionCandidates candidates;
  candidates.autoRun.append({QString(), 0});
  candidates.oneTouch.append({QString(), 0});
  int a = 1;
  int o = 1;
  for (const AppEntry &entry : engine.Entries()) {
    if (entry.operation != AppEntry::Add && entry.registered == 0) continue;
    // Only the package on the medium tells the type, so an application whose
    // package is absent is not offered.
    if (entry.package.appType != QStringLiteral("APP_TYPE_OVERLAPPED_EXE")) continue;
    if (entry.package.autoRunCapable) {
      candidates.autoRun.append({entry.name, entry.autoRun ? a : 0});
      ++a;
    }
    candidates.oneTouch.append({entry.name, entry.oneTouch ? o : 0});
    ++o;
  }
  return candidates;
}

bool ApplyOptionChoice(InstallerEngine &engine, const QString &autoRunName, const QString &oneTouchName) {
  bool changed = false;
  // Whole names are compared: a chosen name that merely begins with another
  // application's name must not mark that one too.
  for (AppEntry &entry : engine.Entries()) {
    entry.autoRun = 0;
    entry.oneTouch = 0;
    if (!autoRunName.isEmpty() && entry.name == autoRunName) {
      entry.autoRun = 1;
      changed = true;
    }
    if (!oneTouchName.isEmpty() && entry.name == oneTouchName && engine.OneTouchNameCheck(entry) == 1) {
      entry.oneTouch = 1;
      changed = true;
    }
  }
  return changed;
}
