#include "FuzzTargets.h"

#include "ExtractCommand.h"
#include "UnzipApi.h"
#include "app/InstallerApp.h"
#include "app/InstallerEngine.h"
#include "app/InstallerView.h"
#include "app/ListRows.h"
#include "app/OptionCommand.h"
#include "files/NameRules.h"
#include "platform/Device.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <zip.h>

#include <cstring>
#include <memory>
#include <vector>

extern "C" int UnZip(void *window, const char16_t *command, char *output, unsigned int outputSize);

namespace FuzzTargets {
namespace {

const QString kPendantFolder = QStringLiteral("\\DiskOnChip\\PP_APP");
const QString kPendantMenu = QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI");
const QString kMediumFolder = QStringLiteral("\\Storage Card\\PP_APP");
constexpr const char *kFreeVariable = "PP_FREE_SPACE_BYTES";

class QuietView : public InstallerView {
 public:
  void SetBusy(bool) override {}
  void ShowStatus(int, const QString &) override {}
  int ShowAlert(const AlertRequest &) override { return 1; }
};

// A loopback port that refuses every connection: bound for the life of the
// process but never listening, so no other program can take it meanwhile.
QString ClosedControllerAddress() {
  static const QString address = [] {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) == 0)
      return QStringLiteral("127.0.0.1:%1").arg(ntohs(local.sin_port));
    return QStringLiteral("127.0.0.1:1");
  }();
  return address;
}

// Every file and folder below a host folder: relative path -> size (-1 for
// a folder).
using Tree = QMap<QString, qint64>;

Tree Snapshot(const QString &base) {
  Tree tree;
  QDirIterator it(base, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QFileInfo info = it.fileInfo();
    tree.insert(QDir(base).relativeFilePath(path), info.isDir() && !info.isSymLink() ? -1 : info.size());
  }
  return tree;
}

void WriteHost(const QString &path, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

// A throw-away device root inside a folder that also holds a folder the
// device must never reach. In memory when the host offers it: each input
// rewrites a few files.
class FuzzDevice {
 public:
  FuzzDevice()
      : m_outer(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/pp-fuzz-XXXXXX")
                                                                    : QDir::tempPath() + QStringLiteral("/pp-fuzz-XXXXXX")) {
    QDir(m_outer.path()).mkdir(QStringLiteral("device"));
    QDir(m_outer.path()).mkdir(QStringLiteral("outside"));
  }
  QString root() const { return m_outer.path() + QStringLiteral("/device"); }
  QString host(const QString &relative) const { return root() + u'/' + relative; }
  // Empty when nothing beside the device root was created or changed.
  QString outsideDamage() const {
    const QStringList outer = QDir(m_outer.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (outer != QStringList{QStringLiteral("device"), QStringLiteral("outside")})
      return QStringLiteral("something appeared beside the device root: ") + outer.join(u',');
    if (!Snapshot(m_outer.path() + QStringLiteral("/outside")).isEmpty())
      return QStringLiteral("something was written outside the device root");
    return {};
  }
  // Makes the device root hold exactly the files given (relative path -> bytes;
  // a path ending in "/" is a folder).
  void reset(const QMap<QString, QByteArray> &files) {
    QDir(root()).removeRecursively();
    QDir().mkpath(root());
    for (auto it = files.begin(); it != files.end(); ++it) {
      if (it.key().endsWith(u'/'))
        QDir().mkpath(host(it.key()));
      else
        WriteHost(host(it.key()), it.value());
    }
  }

 private:
  QTemporaryDir m_outer;
};

// Points the device, the controller address and the free-space setting at
// the fuzz device for one input and puts back what was there before.
class DeviceScope {
 public:
  explicit DeviceScope(const FuzzDevice &device, qint64 freeBytes = -1)
      : m_root(Device::Root()),
        m_address(FtpServerAddress()),
        m_freeSet(qEnvironmentVariableIsSet(kFreeVariable)),
        m_free(qgetenv(kFreeVariable)) {
    Device::SetRoot(device.root());
    FtpServerAddress() = ClosedControllerAddress();
    Device::SetFreeBytesOverride(freeBytes);
  }
  ~DeviceScope() {
    SetMainView(nullptr);
    Device::SetRoot(m_root);
    FtpServerAddress() = m_address;
    if (m_freeSet)
      qputenv(kFreeVariable, m_free);
    else
      qunsetenv(kFreeVariable);
  }

 private:
  QString m_root;
  QString m_address;
  bool m_freeSet;
  QByteArray m_free;
};

// What every entry of a list must be, whatever the files said.
QString EntryDamage(const InstallerEngine &engine) {
  if (engine.EntryCount() != engine.Entries().size())
    return QStringLiteral("entry count %1 for %2 entries").arg(engine.EntryCount()).arg(engine.Entries().size());
  for (const AppEntry *entry : engine.Entries()) {
    if (!entry) return QStringLiteral("a null entry in the list");
    if (entry->name.isEmpty() || !IsSafePathName(entry->name))
      return QStringLiteral("an entry named \"%1\"").arg(entry->name);
    if (!IsSafePathName(entry->installed.folder) || !IsSafePathName(entry->package.folder))
      return QStringLiteral("entry %1 with the folder \"%2\"/\"%3\"")
          .arg(entry->name, entry->installed.folder, entry->package.folder);
  }
  return {};
}

// The list operations of the main dialog, with their promises.
QString ExerciseList(InstallerEngine &engine) {
  const qsizetype before = engine.Entries().size();
  engine.SortEntries();
  if (engine.Entries().size() != before) return QStringLiteral("sorting changed the number of entries");
  if (const QString damage = EntryDamage(engine); !damage.isEmpty()) return QStringLiteral("after sorting: ") + damage;
  for (int i = 0; i < engine.EntryCount(); ++i) {
    if (ListRowTexts(*engine.EntryAt(i), i).size() != 9) return QStringLiteral("a row without nine columns");
  }
  engine.RequiredSpace();
  engine.FreeSpaceKiB(kPendantFolder);
  if (engine.PendingCount() > engine.EntryCount()) return QStringLiteral("more pending operations than entries");
  if (engine.RegisteredAfter() > engine.EntryCount()) return QStringLiteral("more registered than entries");

  QSet<QString> names{QString()};
  for (const AppEntry *entry : engine.Entries()) names.insert(entry->name);
  const OptionCandidates candidates = CollectOptionCandidates(engine);
  for (const auto *list : {&candidates.autoRun, &candidates.oneTouch}) {
    if (list->isEmpty() || !list->first().first.isEmpty())
      return QStringLiteral("an option list that does not start with \"none\"");
    for (const auto &candidate : *list)
      if (!names.contains(candidate.first)) return QStringLiteral("an option candidate \"%1\" not in the list").arg(candidate.first);
  }
  ApplyOptionChoice(engine, candidates.autoRun.last().first, candidates.oneTouch.last().first);

  for (int i = 0; i < engine.EntryCount(); ++i) {
    engine.SetOperation(i, AppEntry::Add);
    engine.SetOperation(i, AppEntry::Remove);
  }
  engine.RequiredSpace();
  if (engine.PendingCount() > engine.EntryCount()) return QStringLiteral("more pending operations than entries");
  if (engine.RegisteredAfter() > engine.EntryCount()) return QStringLiteral("more registered than entries");
  return {};
}

QMap<QString, QByteArray> PendantWithExecutables() {
  QMap<QString, QByteArray> files;
  for (const char *app : {"Tool/Tool.exe", "Alpha/Alpha.exe", "Beta/Beta.exe", "ConvTrack/Conveyor.exe"})
    files.insert(QStringLiteral("DiskOnChip/PP_APP/") + QLatin1String(app), "MZ");
  files.insert(QStringLiteral("Storage Card/PP_APP/"), {});
  return files;
}

// A small real archive, made once.
QByteArray ToolArchive() {
  static const QByteArray bytes = [] {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    zip_source_keep(buffer);
    static const char exe[] = "MZ stand-in";
    static const char text[] = "resource text, resource text, resource text";
    zip_file_add(archive, "Tool.exe", zip_source_buffer(archive, exe, sizeof exe - 1, 0), 0);
    zip_dir_add(archive, "res", 0);
    zip_file_add(archive, "res/a.txt", zip_source_buffer(archive, text, sizeof text - 1, 0), 0);
    zip_close(archive);
    QByteArray result;
    if (zip_source_open(buffer) == 0) {
      zip_source_seek(buffer, 0, SEEK_END);
      result.resize(zip_source_tell(buffer));
      zip_source_seek(buffer, 0, SEEK_SET);
      zip_source_read(buffer, result.data(), result.size());
      zip_source_close(buffer);
    }
    zip_source_free(buffer);
    zip_error_fini(&error);
    return result;
  }();
  return bytes;
}

bool IsBelow(const QString &path, const QString &folder) { return path == folder || path.startsWith(folder + u'/'); }

}  // namespace

QString MenuInput(const QByteArray &bytes) {
  static FuzzDevice device;
  const DeviceScope scope(device);
  QMap<QString, QByteArray> files = PendantWithExecutables();
  files.insert(QStringLiteral("DiskOnChip/PP_APP/PP_MENU.INI"), bytes);
  device.reset(files);

  QuietView view;
  InstallerEngine engine(&view);
  if (!engine.ReadMenuFile()) {
    // Every failure means damage: nothing listed, the application folder gone.
    if (engine.EntryCount() != 0 || !engine.Entries().isEmpty()) return QStringLiteral("a failed read left entries");
    if (Device::Exists(kPendantFolder)) return QStringLiteral("a failed read left the application folder");
    return device.outsideDamage();
  }
  if (engine.EntryCount() < 1 || engine.EntryCount() > 32)
    return QStringLiteral("a successful read with %1 entries").arg(engine.EntryCount());
  if (const QString damage = EntryDamage(engine); !damage.isEmpty()) return damage;
  engine.SumRegisteredFileSizes(kPendantMenu);
  engine.SortEntries();
  engine.RequiredSpace();
  for (int i = 0; i < engine.EntryCount(); ++i) ListRowTexts(*engine.EntryAt(i), i);
  CollectOptionCandidates(engine);

  // The controller cannot be reached: the file is written, the send fails.
  if (engine.WriteMenuFile()) return QStringLiteral("the menu file was reported sent to a closed port");
  if (!Device::IsFile(kPendantMenu)) return QStringLiteral("no menu file after writing it");
  if (Device::Exists(QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.BAK"))) return QStringLiteral("the backup stayed");
  if (engine.ReadMenuFile()) {
    if (const QString damage = EntryDamage(engine); !damage.isEmpty()) return QStringLiteral("re-read: ") + damage;
    if (const QString damage = ExerciseList(engine); !damage.isEmpty()) return damage;
  } else if (engine.EntryCount() != 0) {
    return QStringLiteral("a failed re-read left entries");
  }
  return device.outsideDamage();
}

QString DescriptorsInput(const QByteArray &bytes) {
  static FuzzDevice device;
  const DeviceScope scope(device);
  QList<QByteArray> parts;
  {
    qsizetype start = 0;
    while (parts.size() < 2) {
      const qsizetype separator = bytes.indexOf("\n%%\n", start);
      if (separator < 0) break;
      parts.append(bytes.mid(start, separator - start));
      start = separator + 4;
    }
    parts.append(bytes.mid(start));
  }
  QMap<QString, QByteArray> files = PendantWithExecutables();
  files.insert(QStringLiteral("DiskOnChip/PP_APP/PP_MENU.INI"),
               "[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUM = 1\n\n[APPLICATION_INFO1]\nAPP_NAME = Tool\n"
               "TOPMENU_ID = 1\nAPP_PATH = \"PP_APP\\Tool\\Tool.exe\"\nSUBMENU_ICONPATH = \"\"\nAPP_VER = 1.00\n"
               "NS_VER = NS1.00\nFILE_SIZE = 10\nAPP_TYPE = APP_TYPE_OVERLAPPED_EXE\nSYS_STATUS = 0x01\n"
               "AUTO_RUN = TRUE\nONE-TOUCH_RUN = FALSE\nSUBMENU_NAME_ENGLISH = \"Tool\"\n");
  const QString medium = QStringLiteral("Storage Card/PP_APP/");
  files.insert(medium + QStringLiteral("Tool.INI"), parts.value(0));
  files.insert(medium + QStringLiteral("Tool.ZIP"), "PK");
  if (parts.size() > 1) files.insert(medium + QStringLiteral("PP_INSTALL.INI"), parts.value(1));
  if (parts.size() > 2) {
    files.insert(medium + QStringLiteral("Beta.INI"), parts.value(2));
    files.insert(medium + QStringLiteral("Beta.ZIP"), "PK");
  }
  device.reset(files);
  const Tree before = Snapshot(device.root());

  QuietView view;
  InstallerEngine engine(&view);
  engine.MediaRoot() = QStringLiteral("\\Storage Card\\");
  if (!engine.ReadMenuFile() || engine.EntryCount() != 1) return QStringLiteral("the fixed menu file was not read");
  const int listed = engine.ReadInstallDescriptor();
  const int described = engine.ReadPackageDescriptors();
  if (const QString damage = EntryDamage(engine); !damage.isEmpty()) return damage;
  if (listed && described) {
    const AppEntry *tool = engine.FindEntry(QStringLiteral("Tool"));
    if (!tool || !tool->registered) return QStringLiteral("the registered application left the list");
  }
  if (Snapshot(device.root()) != before) return QStringLiteral("reading the medium changed files");
  if (const QString damage = ExerciseList(engine); !damage.isEmpty()) return damage;
  return device.outsideDamage();
}

QString UnzipInput(const QByteArray &bytes) {
  static FuzzDevice device;
  // Little room: an archive that claims much is refused before it is written.
  const DeviceScope scope(device, 1 << 20);
  static const QMap<QString, QByteArray> base{
      {QStringLiteral("DiskOnChip/PP_APP/"), {}},
      {QStringLiteral("Storage Card/PP_APP/Tool.ZIP"), ToolArchive()},
  };
  device.reset(base);

  QString command;
  if (bytes.startsWith("efq")) {
    command = QString::fromUtf8(bytes);
  } else if (bytes.startsWith("\xff\xfe")) {
    command = QString(reinterpret_cast<const QChar *>(bytes.constData() + 2), (bytes.size() - 2) / 2);
  } else {
    WriteHost(device.host(QStringLiteral("Storage Card/PP_APP/Input.ZIP")), bytes);
    command = QStringLiteral("efq \"\\Storage Card\\PP_APP\\Input.ZIP\" \\DiskOnChip\\PP_APP\\Input\\");
  }
  // The string handed over ends at its first NUL, as a C caller's would.
  command.truncate(command.indexOf(QChar(0)) < 0 ? command.size() : command.indexOf(QChar(0)));
  const Tree before = Snapshot(device.root());

  // A short buffer for some inputs: the report must be cut, not overrun.
  constexpr size_t kGuard = 64;
  static std::vector<char> output(UnzipApi::kOutputSize + kGuard);
  const unsigned int size = bytes.size() % 2 ? 96u : UnzipApi::kOutputSize;
  std::memset(output.data(), 0x5a, size + kGuard);
  const int result = UnZip(nullptr, reinterpret_cast<const char16_t *>(command.utf16()), output.data(), size);

  const void *end = std::memchr(output.data(), 0, size);
  if (!end) return QStringLiteral("the report is not terminated within the buffer");
  for (size_t i = size; i < size + kGuard; ++i)
    if (output[i] != 0x5a) return QStringLiteral("the report ran past the buffer");
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString report = utf8(QByteArrayView(output.data(), static_cast<const char *>(end) - output.data()));
  if (utf8.hasError()) return QStringLiteral("the report is no valid UTF-8");

  const Tree after = Snapshot(device.root());
  for (auto it = after.begin(); it != after.end(); ++it)
    if (it.key().contains(QStringLiteral("|unzip|"))) return QStringLiteral("a temporary folder stayed: ") + it.key();
  if (const QString damage = device.outsideDamage(); !damage.isEmpty()) return damage;
  if (result != UnzipApi::kSuccess) {
    if (after != before) return QStringLiteral("a failed extraction changed the device (%1)").arg(report);
    return {};
  }
  // Success: only the destination and the folders made to hold it are new.
  QString why;
  const auto parsed = ParseExtractCommand(command, &why);
  if (!parsed) return QStringLiteral("a command the parser refuses was carried out: ") + command;
  const auto destination = Device::MapPath(parsed->destination);
  if (!destination || !QFileInfo(*destination).isDir()) return QStringLiteral("success without the destination folder");
  const QString relative = QDir(device.root()).relativeFilePath(*destination);
  qint64 written = 0;
  for (auto it = after.begin(); it != after.end(); ++it) {
    if (before.contains(it.key())) {
      if (before.value(it.key()) != it.value()) return QStringLiteral("an existing file changed: ") + it.key();
      continue;
    }
    if (!IsBelow(it.key(), relative) && !IsBelow(relative, it.key()))
      return QStringLiteral("%1 appeared outside the destination %2").arg(it.key(), relative);
    if (it.value() > 0) written += it.value();
  }
  for (auto it = before.begin(); it != before.end(); ++it)
    if (!after.contains(it.key())) return QStringLiteral("an extraction removed ") + it.key();
  if (written > (1 << 20)) return QStringLiteral("%1 bytes written with 1 MiB free").arg(written);
  return {};
}

}  // namespace FuzzTargets
