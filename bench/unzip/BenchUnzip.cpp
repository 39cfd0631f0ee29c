// Times the extraction library (called as the installer calls it) against
// Info-ZIP's "unzip -o -q" on the same archives: 32 application archives of
// about 2 MiB and one of about 200 MiB, each a mix of compressible text and
// incompressible data in nested folders. The archives are generated into a
// temporary folder (argument 1: where to make it; default the system's) and
// deleted afterwards. Each side runs three times, alternating which goes
// first; the best time of each is printed with their ratio.
#include <unistd.h>
#include <zip.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/Device.h"
#include "unzip/UnzipApi.h"

namespace {

constexpr int kSmallArchives = 32;
constexpr qint64 kSmallBytes = 2 << 20;
constexpr qint64 kLargeBytes = 200 << 20;
constexpr int kRounds = 3;

// Text that deflates about as well as sources, INI files and resources do.
QByteArray Text(qint64 size, QRandomGenerator &random) {
  static const char *const kWords[] = {"APPLICATION",  "menu",    "=",      "\"PP_APP\\", "value", "0x1f",
                                       "SUBMENU_NAME", "VERSION", "TRUE",   "FALSE",      "icon",  "return",
                                       "if",           "(",       ")",      "{",          "}",     "int",
                                       "QString",      "const",   "static", "アプリ",     "設定",  "\r\n"};
  QByteArray text;
  text.reserve(size + 64);
  while (text.size() < size) {
    text += kWords[random.bounded(int(std::size(kWords)))];
    text += random.bounded(8) == 0 ? QByteArray::number(random.bounded(100000)) : QByteArray(" ");
  }
  text.truncate(size);
  return text;
}

QByteArray Noise(qint64 size, QRandomGenerator &random) {
  QByteArray bytes(size, Qt::Uninitialized);
  random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
  return bytes;
}

// An archive of about `bytes`, half text in many small files, half noise in
// fewer large ones, spread over nested folders.
void WriteArchive(const QString &path, qint64 bytes, quint32 seed) {
  QRandomGenerator random(seed);
  int error = 0;
  zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) qFatal("cannot create %s", qPrintable(path));
  const qint64 textFile = 64 * 1024;
  const qint64 noiseFile = 512 * 1024;
  int n = 0;
  auto add = [&](const QByteArray &name, const QByteArray &data) {
    void *copy = memcpy(malloc(size_t(data.size())), data.constData(), size_t(data.size()));
    zip_source_t *source = zip_source_buffer(archive, copy, zip_uint64_t(data.size()), 1);
    if (!source || zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8) < 0)
      qFatal("cannot add %s", name.constData());
  };
  for (qint64 written = 0; written < bytes / 2; written += textFile, ++n)
    add("res/text" + QByteArray::number(n % 7) + "/file" + QByteArray::number(n) + ".txt", Text(textFile, random));
  for (qint64 written = 0; written < bytes / 2; written += noiseFile, ++n)
    add("bin/data" + QByteArray::number(n % 3) + "/blob" + QByteArray::number(n) + ".bin", Noise(noiseFile, random));
  if (zip_close(archive) != 0) qFatal("cannot write %s", qPrintable(path));
}

void RemoveContents(const QString &folder) {
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  ::sync();  // the next timing must not pay for this run's write-back
}

struct Workload {
  QString name;
  QStringList archives;  // host paths
  qint64 bytes = 0;      // of the archives
  qint64 content = 0;    // extracted
};

// Relative path -> contents of every file below a folder.
QMap<QString, QByteArray> Files(const QString &folder) {
  QMap<QString, QByteArray> files;
  QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile file(it.next());
    if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(file.fileName()));
    files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
  }
  return files;
}

class Runner {
 public:
  Runner(UnZipProc unzip, QString unzipTool, QString root)
      : m_unzip(unzip), m_tool(std::move(unzipTool)), m_root(std::move(root)) {}

  // Both sides must produce the same files, or the times compare nothing.
  void Verify(Workload &work) {
    Library(work, false);
    InfoZip(work, false);
    const auto library = Files(LibraryOut());
    if (library != Files(InfoZipOut())) qFatal("the library and unzip extracted different files");
    work.content = 0;
    for (const QByteArray &data : library) work.content += data.size();
    RemoveContents(LibraryOut());
    RemoveContents(InfoZipOut());
  }

  double Library(const Workload &work, bool clean = true) {
    const QString out = LibraryOut();
    RemoveContents(out);
    std::vector<char> buffer(UnzipApi::kOutputSize);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < work.archives.size(); ++i) {
      const QString command =
          QStringLiteral("efq \"%1\" \\DiskOnChip\\PP_APP\\App%2\\").arg(Device::ToCePath(work.archives[i])).arg(i);
      if (m_unzip(nullptr, reinterpret_cast<const char16_t *>(command.utf16()), buffer.data(), UnzipApi::kOutputSize) !=
          0)
        qFatal("library failed: %s", buffer.data());
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (clean) RemoveContents(out);
    return seconds;
  }

  double InfoZip(const Workload &work, bool clean = true) {
    const QString out = InfoZipOut();
    RemoveContents(out);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < work.archives.size(); ++i) {
      QProcess process;
      process.start(m_tool, {"-o", "-q", work.archives[i], "-d", out + QStringLiteral("/App%1").arg(i)});
      if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("unzip failed on %s", qPrintable(work.archives[i]));
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (clean) RemoveContents(out);
    return seconds;
  }

 private:
  QString LibraryOut() const { return m_root + "/DiskOnChip/PP_APP"; }
  QString InfoZipOut() const { return m_root + "/DiskOnChip/infozip"; }

  UnZipProc m_unzip;
  QString m_tool;
  QString m_root;
};

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("unzip"));
  if (tool.isEmpty()) qFatal("Info-ZIP unzip is not installed");
  const QString parent = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
  QTemporaryDir device(parent + QStringLiteral("/bench-unzip-XXXXXX"));
  if (!device.isValid()) qFatal("cannot create a folder in %s", qPrintable(parent));
  Device::SetRoot(device.path());
  Device::SetFreeBytesOverride(-1);
  QDir(device.path()).mkpath(QStringLiteral("DiskOnChip"));
  QDir(device.path()).mkpath(QStringLiteral("Storage Card/PP_APP"));

  // Installed and loaded the way the installer finds it.
  const QString dll = device.path() + QStringLiteral("/DiskOnChip/unzip.dll");
  if (!QFile::copy(QString::fromUtf8(PP_UNZIP_LIBRARY), dll)) qFatal("cannot install the library");
  QLibrary library(dll);
  if (!library.load()) qFatal("%s", qPrintable(library.errorString()));
  auto unzip = reinterpret_cast<UnZipProc>(library.resolve(UnzipApi::kUnZipSymbol));
  if (!unzip) qFatal("no UnZip entry point");

  std::printf("generating archives in %s ...\n", qPrintable(device.path()));
  std::fflush(stdout);
  Workload small{QStringLiteral("%1 archives of 2 MiB").arg(kSmallArchives), {}, 0};
  for (int i = 0; i < kSmallArchives; ++i) {
    small.archives.append(device.path() + QStringLiteral("/Storage Card/PP_APP/App%1.ZIP").arg(i));
    WriteArchive(small.archives.last(), kSmallBytes, quint32(i + 1));
    small.bytes += QFileInfo(small.archives.last()).size();
  }
  Workload large{
      QStringLiteral("1 archive of 200 MiB"), {device.path() + QStringLiteral("/Storage Card/PP_APP/Big.ZIP")}, 0};
  WriteArchive(large.archives.last(), kLargeBytes, 1000);
  large.bytes = QFileInfo(large.archives.last()).size();

  Runner runner(unzip, tool, device.path());
  for (Workload *work : {&small, &large}) runner.Verify(*work);
  std::printf("%-24s %11s %11s %10s %10s %7s\n", "workload", "content MiB", "archive MiB", "library s", "unzip s",
              "ratio");
  for (const Workload *work : {&small, &large}) {
    double best[2] = {1e300, 1e300};
    for (int round = 0; round < kRounds; ++round) {
      if (round % 2 == 0) {
        best[0] = std::min(best[0], runner.Library(*work));
        best[1] = std::min(best[1], runner.InfoZip(*work));
      } else {
        best[1] = std::min(best[1], runner.InfoZip(*work));
        best[0] = std::min(best[0], runner.Library(*work));
      }
    }
    std::printf("%-24s %11.1f %11.1f %10.3f %10.3f %6.2fx\n", qPrintable(work->name), work->content / 1048576.0,
                work->bytes / 1048576.0, best[0], best[1], best[0] / best[1]);
  }
  std::printf("target: library within 1.10x of unzip\n");
  library.unload();
  return 0;
}
