#pragma once
// Menu files, descriptors and entries for the engine's file tests.
#include "RecordingView.h"
#include "Sandbox.h"
#include "app/InstallerEngine.h"
#include "platform/CodePage.h"

#include <QMap>
#include <QRegularExpression>

// Key -> new value for a file below; a null value leaves the key out.
using Changes = QMap<QString, QString>;

// An engine on the CF card whose list a test may fill directly.
class TestEngine : public InstallerEngine {
 public:
  explicit TestEngine(InstallerView *view) : InstallerEngine(view) { MediaRoot() = QStringLiteral("\\Storage Card\\"); }
  AppEntry *add(const QString &name, int registered, int operation = 0) {
    AppendEntry(new AppEntry{operation, registered, name, {}, {}, 0, 0});
    return m_entries.last();
  }
  void addNull() { AppendEntry(nullptr); }
};

inline const QString kMenuPath = QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI");
inline const QString kMediumApp = QStringLiteral("\\Storage Card\\PP_APP\\");

// A key not in the text yet goes after the first header.
inline QString Changed(QString text, const Changes &changes) {
  for (auto it = changes.begin(); it != changes.end(); ++it) {
    const QRegularExpression line(u'^' + QRegularExpression::escape(it.key()) + QStringLiteral(" = .*\n"),
                                  QRegularExpression::MultilineOption);
    const QString replacement = it->isNull() ? QString() : it.key() + QStringLiteral(" = ") + *it + u'\n';
    const QRegularExpressionMatch found = line.match(text);
    if (found.hasMatch())
      text.replace(found.capturedStart(), found.capturedLength(), replacement);
    else
      text.insert(text.indexOf(QStringLiteral("]\n")) + 2, replacement);
  }
  return text;
}

// One complete application section of a menu file; its executable is created.
inline QString MenuSection(const Sandbox &box, int number, const QString &name, const Changes &changes = {}) {
  box.write(QStringLiteral("\\DiskOnChip\\PP_APP\\%1\\%1.exe").arg(name), "MZ");
  return Changed(QStringLiteral("\n[APPLICATION_INFO%1]\nAPP_NAME = %2\nTOPMENU_ID = 2\n"
                                "APP_PATH = \"PP_APP\\%2\\%2.exe\"\nSUBMENU_ICONPATH = \"\"\nAPP_VER = 1.00\n"
                                "NS_VER = NS2.10\nFILE_SIZE = 100\nAPP_TYPE = T\nSYS_STATUS = 0x01\n"
                                "AUTO_RUN = FALSE\nONE-TOUCH_RUN = FALSE\n")
                     .arg(number)
                     .arg(name),
                 changes);
}

// A negative count leaves APP_NUM out.
inline void WriteMenu(const Sandbox &box, const QString &sections, int appNum,
                      const QString &head = QStringLiteral("[APPLICATION_INFO]\nVERSION = 1.00\n")) {
  const QString count = appNum < 0 ? QString() : QStringLiteral("APP_NUM = %1\n").arg(appNum);
  box.write(kMenuPath, CodePage::Encode(head + count + sections));
}

// A package on the CF card: descriptor name.INI and, unless told, name.ZIP.
inline void WritePackage(const Sandbox &box, const QString &name, const Changes &changes = {}, bool zip = true) {
  box.write(kMediumApp + name + ".INI",
            CodePage::Encode(Changed(QStringLiteral("[APPLICATION_INFO]\nAPP_NAME = %1\nAPP_VER = 2.00\n"
                                                    "SYS_VER = DS2.10\nAPP_TYPE = T\nAUTO_RUN = TRUE\nFILE_SIZE = 120\n"
                                                    "SYS_STATUS = 3\n[MENU_INFO]\nTOPMENU_ID = 4\n"
                                                    "SUBMENU_ICON = \"icon.bmp\"\nSUBMENU_NAME_ENGLISH = \"Tool menu\"\n")
                                         .arg(name),
                                     changes)));
  if (zip) box.write(kMediumApp + name + ".ZIP", "PK");
}
