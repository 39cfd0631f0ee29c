// Unpacking application archives through the pendant's extraction library,
// and installing the packages the operator marked Add from the medium.
#include "app/InstallerEngine.h"
#include "app/StringTable.h"
#include "platform/Device.h"
#include "unzip/UnzipApi.h"

#include <QLibrary>

namespace {

const QString kLibraryPath = QStringLiteral("\\DiskOnChip\\unzip.dll");

// The library writes its report here; nothing reads it back. One area for the
// whole run, as the library's contract expects.
char g_unzipOutput[UnzipApi::kOutputSize];

// Loads exactly the named file: no search path, no added prefix or suffix.
bool LoadExactly(QLibrary &library, const QString &cePath) {
  const auto host = Device::MapPath(cePath);
  if (!host || !Device::IsFile(cePath)) return false;
  library.setFileName(*host);
  return library.load();
}

// Versions compare as terminated UTF-16 texts, unit by unit: "1.10" is not
// older than "1.9", and an empty installed version is older than anything.
bool IsOlderPackage(const QString &installed, const QString &package) {
  for (qsizetype i = 0;; ++i) {
    const char16_t a = i < installed.size() ? installed[i].unicode() : 0;
    const char16_t b = i < package.size() ? package[i].unicode() : 0;
    if (a != b) return a > b;
    if (a == 0) return false;
  }
}

}  // namespace

int InstallerEngine::UnzipAppFile(const QString &archivePath, const QString &folderName) {
  QLibrary library;
  if (!LoadExactly(library, kLibraryPath)) {
    Report(2, LoadString(3021), 2021, QStringLiteral("error file :(%1)").arg(kLibraryPath));
    return 0;
  }
  const auto getVersion = reinterpret_cast<UnZipGetVersionProc>(library.resolve(UnzipApi::kGetVersionSymbol));
  if (!getVersion) {
    Report(2, LoadString(3022), 2022, QStringLiteral("error file :(%1)").arg(kLibraryPath));
    library.unload();
    return 0;
  }
  getVersion();  // only its presence matters
  const auto unzip = reinterpret_cast<UnZipProc>(library.resolve(UnzipApi::kUnZipSymbol));
  if (!unzip) {
    library.unload();
    return 0;
  }

  // An empty or escaping folder name would aim the extraction at the
  // application folder itself, or outside it: refuse it as a failed unpack.
  const bool folderOk = Device::IsContainedRelativePath(folderName);
  const QString destination = QStringLiteral("%1\\%2\\").arg(m_strAppFolder, folderName);
  if (folderOk && !RemoveLocalFolder(destination)) {
    library.unload();
    return 0;
  }
  const QString command = QStringLiteral("efq \"%1\" %2\\%3\\").arg(archivePath, m_strAppFolder, folderName);
  if (folderOk && unzip(nullptr, reinterpret_cast<const char16_t *>(command.utf16()), g_unzipOutput,
                        UnzipApi::kOutputSize) == UnzipApi::kSuccess) {
    m_strStatus = QStringLiteral("unzip success.(%1)").arg(command);
    ShowStatus(2, m_strStatus);
    library.unload();
    return 1;
  }
  Report(2, LoadString(3005), 2005, QStringLiteral("error file :(%1)").arg(archivePath));
  library.unload();
  return 0;
}

int InstallerEngine::InstallOnPendant() {
  int result = 1;
  for (AppEntry *entry : std::as_const(m_entries)) {
    if (!entry) break;
    if (entry->name.isEmpty() || entry->operation != AppEntry::Add) continue;

    int answer = 1;
    if (IsOlderPackage(entry->installed.appVersion, entry->package.appVersion)) {
      m_alert.SetButtonState(AlertDialog::kSecondButton, 1);
      answer = m_alert.ShowAlert(2019, m_strDetail);
      SetBusy(true);
    }
    if (answer == 0) {
      entry->operation = AppEntry::None;
      continue;
    }
    // An accepted downgrade keeps its mark, so that the controller receives
    // the archive that now matches the pendant.

    if (!entry->installed.folder.isEmpty() &&
        !RemoveLocalFolder(QStringLiteral("%1\\%2").arg(m_strAppFolder, entry->installed.folder)))
      return 0;

    const QString archive = QStringLiteral("%1\\%2.%3")
                                .arg(QStringLiteral("%1%2").arg(m_strMediaRoot, QStringLiteral("PP_APP")),
                                     entry->name, QStringLiteral("ZIP"));
    if (entry->package.folder.isEmpty()) {
      m_strStatus = QStringLiteral("APPLICATION_FOLDER_NAME error.");
      ShowStatus(2, m_strStatus);
      result = 0;
      continue;
    }
    // A failed unpack has told the operator that installation goes on.
    if (!UnzipAppFile(archive, entry->package.folder)) continue;

    entry->registered = 1;
    // Languages the package does not name keep the installed names.
    const std::array<SubMenuName, kSubMenuPairs> kept = entry->installed.subMenuNames;
    entry->installed = entry->package;
    for (int i = 0; i < kSubMenuPairs; ++i) {
      if (entry->package.subMenuNames[i].language.isEmpty()) entry->installed.subMenuNames[i] = kept[i];
    }
  }
  return result;
}
