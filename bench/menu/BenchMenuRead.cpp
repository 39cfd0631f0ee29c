// Reads a menu file of 32 complete applications (12 sub-menu names each) and
// 32 package descriptors into the engine's entries, many times, and prints
// the medians beside the time of reading the menu file's bytes once and the
// time the same keys take when every read rescans the file.
#include "app/InstallerApp.h"
#include "app/InstallerEngine.h"
#include "app/Reporter.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kApps = 32;
const QString kMenu = QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI");

void Write(const QString &cePath, const QString &text) {
  const QString host = *Device::MapPath(cePath);
  QDir().mkpath(QFileInfo(host).absolutePath());
  QFile file(host);
  if (!file.open(QIODevice::WriteOnly) || file.write(CodePage::Encode(text)) < 0) qFatal("cannot write %s", qPrintable(host));
}

QString SubMenuNames(int app) {
  QString text;
  for (int k = 0; k < kSubMenuPairs; ++k)
    text += QStringLiteral("SUBMENU_NAME_%1 = \"%2 %3\"\n")
                .arg(QString::fromUtf16(kLanguageNames[k]), QString::fromUtf8("アプリケーション"))
                .arg(app * 100 + k);
  return text;
}

void LayOutDevice() {
  QString menu = QStringLiteral("[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUM = %1\n").arg(kApps);
  for (int i = 1; i <= kApps; ++i) {
    const QString name = QStringLiteral("Application%1").arg(i);
    menu += QStringLiteral("\n[APPLICATION_INFO%1]\nAPP_NAME = %2\nTOPMENU_ID = %1\nAPP_PATH = \"PP_APP\\%2\\%2.exe\"\n"
                           "SUBMENU_ICONPATH = \"PP_APP\\%2\\icon.bmp\"\nAPP_VER = 1.%1\nNS_VER = NS2.10\n"
                           "FILE_SIZE = %1000\nAPP_TYPE = APP_TYPE_OVERLAPPED_EXE\nSYS_STATUS = 0x1f\n"
                           "AUTO_RUN = FALSE\nONE-TOUCH_RUN = FALSE\n")
                .arg(i)
                .arg(name) +
            SubMenuNames(i);
    Write(QStringLiteral("\\DiskOnChip\\PP_APP\\%1\\%1.exe").arg(name), QStringLiteral("MZ"));
    Write(QStringLiteral("\\Storage Card\\PP_APP\\%1.INI").arg(name),
          QStringLiteral("[APPLICATION_INFO]\nAPP_NAME = %1\nAPP_VER = 2.%2\nSYS_VER = DS2.10\n"
                         "APP_TYPE = APP_TYPE_OVERLAPPED_EXE\nAUTO_RUN = TRUE\nFILE_SIZE = %2000\nSYS_STATUS = 3\n"
                         "[MENU_INFO]\nTOPMENU_ID = %2\nSUBMENU_ICON = \"icon.bmp\"\n")
                  .arg(name)
                  .arg(i) +
              SubMenuNames(i));
    Write(QStringLiteral("\\Storage Card\\PP_APP\\%1.ZIP").arg(name), QStringLiteral("PK"));
  }
  Write(kMenu, menu);
}

double MedianMs(int runs, const std::function<void()> &work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    work();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The keys ReadMenuFile reads, in its order, each by a fresh scan of the file.
void ReadKeysByFreshScans(IniFile &ini) {
  ini.ReadIniString(kMenu, "APPLICATION_INFO", "VERSION");
  const int count = ini.ReadIniInt(kMenu, "APPLICATION_INFO", "APP_NUM");
  for (int i = 1; i <= count; ++i) {
    const QString section = QStringLiteral("APPLICATION_INFO%1").arg(i);
    for (const char *key : {"APP_NAME", "APP_PATH", "TOPMENU_ID", "SUBMENU_ICONPATH", "APP_VER", "NS_VER", "FILE_SIZE",
                            "SYS_STATUS", "APP_TYPE", "AUTO_RUN", "ONE-TOUCH_RUN"})
      ini.ReadIniString(kMenu, section, key);
    for (int k = 0; k < kSubMenuPairs; ++k)
      ini.ReadIniString(kMenu, section, QStringLiteral("SUBMENU_NAME_") + QString::fromUtf16(kLanguageNames[k]));
  }
}

// Nothing is shown: the benchmark times the reading alone.
class SilentReporter : public Reporter {
 public:
  void SetBusy(bool) override {}
  void ShowStatus(StatusLevel, const QString &) override {}
  int ShowAlert(const AlertRequest &) override { return kFirstButton; }
};

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 101;
  QTemporaryDir root;
  if (!root.isValid()) qFatal("no temporary folder");
  Device::SetRoot(root.path());
  LayOutDevice();

  SilentReporter reporter;
  InstallerEngine engine(reporter, ControllerEndpoint(QStringLiteral("127.0.0.1:1")));
  engine.SetMediaRoot(QStringLiteral("\\Storage Card\\"));
  if (!engine.ReadMenuFile() || engine.EntryCount() != kApps || !engine.ReadPackageDescriptors())
    qFatal("the benchmark's files do not read as expected");

  QByteArray bytes;
  const double bytesOnce = MedianMs(runs, [&] { Device::ReadFile(kMenu, &bytes); });
  const double menu = MedianMs(runs, [&] { engine.ReadMenuFile(); });
  IniFile fresh;
  const double freshScans = MedianMs(std::max(1, runs / 10), [&] { ReadKeysByFreshScans(fresh); });
  const double descriptors = MedianMs(runs, [&] {
    engine.ReadMenuFile();
    engine.ReadPackageDescriptors();
  });

  std::printf("menu file: %d applications, %lld bytes; %d runs, medians\n", kApps, static_cast<long long>(bytes.size()),
              runs);
  std::printf("  read the file's bytes once            %8.3f ms\n", bytesOnce);
  std::printf("  ReadMenuFile into entries             %8.3f ms   (target <= 10 ms)\n", menu);
  std::printf("  same keys, each by a fresh scan       %8.3f ms\n", freshScans);
  std::printf("  ReadMenuFile + 32 package descriptors %8.3f ms\n", descriptors);
  return menu <= 10.0 ? 0 : 1;
}
