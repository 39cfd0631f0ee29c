#pragma once
// Menu files, descriptors and entries for the engine's file tests, written as
// the pendant and the media in the field carry them.
#include "Sandbox.h"
#include "app/InstallerEngine.h"
#include "platform/CodePage.h"

#include <QMap>

// Key -> value changes to a file written below; a null value leaves the key out.
using Changes = QMap<QString, QString>;

// An engine whose list a test may fill directly.
class TestEngine : public InstallerEngine {
 public:
  using InstallerEngine::InstallerEngine;
  AppEntry *add(const QString &name, int registered, int operation = AppEntry::None) {
    auto *entry = new AppEntry;
    entry->name = name;
    entry->registered = registered;
    entry->operation = operation;
    AppendEntry(entry);
    return entry;
  }
  void addNull() { AppendEntry(nullptr); }
};

inline const QString kMenuPath = QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI");
inline const QString kMediumApp = QStringLiteral("\\Storage Card\\PP_APP\\");

// Keys of a text in order; a value in `changes` replaces the default, a null
// one leaves the key out.
inline QString KeyLines(const QList<QPair<QString, QString>> &defaults, const Changes &changes) {
  QString text;
  for (const auto &[key, value] : defaults) {
    if (key.startsWith(u'[')) {
      text += key + u'\n';
      continue;
    }
    const QString chosen = changes.contains(key) ? changes.value(key) : value;
    if (!chosen.isNull()) text += key + QStringLiteral(" = ") + chosen + u'\n';
  }
  return text;
}

// One complete application section of a menu file; its executable is created.
inline QString MenuSection(const Sandbox &box, int number, const QString &name,
                           const Changes &changes = {}) {
  box.write(QStringLiteral("\\DiskOnChip\\PP_APP\\%1\\%1.exe").arg(name), "MZ");
  return u'\n' + KeyLines({{QStringLiteral("[APPLICATION_INFO%1]").arg(number), {}},
                           {"APP_NAME", name},
                           {"TOPMENU_ID", "2"},
                           {"APP_PATH", QStringLiteral("\"PP_APP\\%1\\%1.exe\"").arg(name)},
                           {"SUBMENU_ICONPATH", "\"\""},
                           {"APP_VER", "1.00"},
                           {"NS_VER", "NS2.10"},
                           {"FILE_SIZE", "100"},
                           {"APP_TYPE", "APP_TYPE_OVERLAPPED_EXE"},
                           {"SYS_STATUS", "0x01"},
                           {"AUTO_RUN", "FALSE"},
                           {"ONE-TOUCH_RUN", "FALSE"}},
                          changes);
}

// A negative count leaves APP_NUM out.
inline void WriteMenu(const Sandbox &box, const QString &sections, int appNum, const QString &head = {}) {
  const QString header = head.isNull() ? QStringLiteral("[APPLICATION_INFO]\nVERSION = 1.00\n") : head;
  const QString count = appNum < 0 ? QString() : QStringLiteral("APP_NUM = %1\n").arg(appNum);
  box.write(kMenuPath, CodePage::Encode(header + count + sections));
}

// A package on the CF card: descriptor name.INI and, unless told, name.ZIP.
inline void WritePackage(const Sandbox &box, const QString &name, const Changes &changes = {},
                         bool archive = true) {
  box.write(kMediumApp + name + QStringLiteral(".INI"),
            CodePage::Encode(KeyLines({{"[APPLICATION_INFO]", {}},
                                       {"APP_NAME", name},
                                       {"FOLDER_NAME", {}},
                                       {"APP_VER", "2.00"},
                                       {"SYS_VER", "DS2.10"},
                                       {"NS_VER", {}},
                                       {"APP_TYPE", "APP_TYPE_OVERLAPPED_EXE"},
                                       {"AUTO_RUN", "TRUE"},
                                       {"FILE_SIZE", "120"},
                                       {"SYS_STATUS", "3"},
                                       {"[MENU_INFO]", {}},
                                       {"TOPMENU_ID", "4"},
                                       {"SUBMENU_ICON", "\"icon.bmp\""},
                                       {"SUBMENU_NAME_ENGLISH", "\"Tool menu\""}},
                                      changes)));
  if (archive) box.write(kMediumApp + name + QStringLiteral(".ZIP"), "PK");
}
