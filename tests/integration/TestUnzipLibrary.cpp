// The extraction library as the installer meets it: loaded from
// \DiskOnChip\unzip.dll of a device, called with the installer's command
// text, on real archives, including hostile and damaged ones.
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLibrary>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>
#include <vector>

#include "Sandbox.h"
#include "UnzipLibrary.h"
#include "platform/CodePage.h"
#include "platform/Device.h"
#include "unzip/UnzipApi.h"

namespace {

// One entry of an archive made by the test. Names are the stored bytes.
struct Entry {
  QByteArray name;
  QByteArray data;
  bool utf8 = false;  // general purpose bit 11
  bool folder = false;
  bool symlink = false;  // Unix mode S_IFLNK; data is the link target
  bool deflate = true;
};

Entry File(const QByteArray &name, const QByteArray &data = "data") { return Entry{name, data}; }

QByteArray Cp932(const QString &text) {
  const QByteArray bytes = CodePage::Encode(text);
  Q_ASSERT(!bytes.contains('?'));
  return bytes;
}

// Writes a ZIP with libzip, names stored exactly as given.
bool WriteZip(const QString &path, const QList<Entry> &entries) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  int error = 0;
  zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  for (const Entry &entry : entries) {
    const zip_flags_t encoding = entry.utf8 ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437;
    zip_int64_t index;
    if (entry.folder) {
      index = zip_dir_add(archive, entry.name.constData(), encoding);
    } else {
      // libzip frees the copy when it has written it (an empty buffer it ignores).
      const size_t size = size_t(entry.data.size());
      void *copy = size ? memcpy(malloc(size), entry.data.constData(), size) : nullptr;
      zip_source_t *source = zip_source_buffer(archive, copy, size, 1);
      index = source ? zip_file_add(archive, entry.name.constData(), source, encoding) : -1;
      if (index < 0 && source) zip_source_free(source);
      if (index >= 0)
        zip_set_file_compression(archive, zip_uint64_t(index), entry.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    if (index < 0) {
      zip_discard(archive);
      return false;
    }
    if (entry.symlink)
      zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16);
  }
  return zip_close(archive) == 0;
}

QByteArray RandomBytes(qsizetype size, quint32 seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  QRandomGenerator generator(seed);
  for (char &c : bytes) c = char(generator.generate());
  return bytes;
}

// Everything below a host folder: every file and folder with its contents,
// so that any write, creation or removal shows.
QMap<QString, QByteArray> Snapshot(const QString &folder) {
  QMap<QString, QByteArray> tree;
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QFileInfo info = it.fileInfo();
    QByteArray state;
    if (info.isSymLink()) {
      state = "link " + QFile::encodeName(info.symLinkTarget());
    } else if (info.isDir()) {
      state = "folder";
    } else {
      QFile file(path);
      if (file.open(QIODevice::ReadOnly))
        state = "file " + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
    }
    tree.insert(QDir(folder).relativeFilePath(path), state);
  }
  return tree;
}

const QString kArchive = QStringLiteral("\\Storage Card\\PP_APP\\Tool.ZIP");
const QString kDestination = QStringLiteral("\\DiskOnChip\\PP_APP\\Tool\\");
const QString kCommand = QStringLiteral("efq \"%1\" %2").arg(kArchive, kDestination);

struct Call {
  int result = -1;
  QByteArray report;
};

// As the installer does it: load by the device path, both entry points,
// the version first, then the command with the installer's buffer size.
Call CallUnzip(const QString &command) {
  Call call;
  QLibrary library(*Device::MapPath(QStringLiteral("\\DiskOnChip\\unzip.dll")));
  if (!library.load()) {
    call.report = "load failed: " + library.errorString().toUtf8();
    return call;
  }
  auto version = reinterpret_cast<UnZipGetVersionProc>(library.resolve(UnzipApi::kGetVersionSymbol));
  auto unzip = reinterpret_cast<UnZipProc>(library.resolve(UnzipApi::kUnZipSymbol));
  if (!version || !unzip) {
    call.report = "entry point missing";
    library.unload();
    return call;
  }
  version();
  std::vector<char> buffer(UnzipApi::kOutputSize, '\x7f');
  call.result =
      unzip(nullptr, reinterpret_cast<const char16_t *>(command.utf16()), buffer.data(), UnzipApi::kOutputSize);
  call.report = QByteArray(buffer.data());
  library.unload();
  return call;
}

}  // namespace

Q_DECLARE_METATYPE(QList<Entry>)

class TestUnzipLibrary : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void extractsFoldersAndJapaneseNames();
  void extractsWindowsArchiveMadeByZipTool();
  void refusesHostileArchives_data();
  void refusesHostileArchives();
  void refusesDamagedArchives_data();
  void refusesDamagedArchives();
  void checksFreeSpaceBeforeWriting_data();
  void checksFreeSpaceBeforeWriting();
  void refusesMalformedCommands_data();
  void refusesMalformedCommands();
  void refusesExistingDestination_data();
  void refusesExistingDestination();
  void reportStaysInsideTheBuffer();
  void exportsOnlyTheEntryPoints();

 private:
  // A place beside the device root that an escaping entry would reach.
  QTemporaryDir m_outside;
};

void TestUnzipLibrary::initTestCase() {
  QVERIFY(m_outside.isValid());
  QVERIFY(CodePage::SetName("CP932"));
}

void TestUnzipLibrary::extractsFoldersAndJapaneseNames() {
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box));
  const QByteArray text = QByteArray("line of a compressible text file\r\n").repeated(4000);
  const QByteArray noise = RandomBytes(300 * 1024, 7);
  // "ソ" and "表" end in the byte of "\": only the real backslash separates.
  const QString japanese = QStringLiteral("ソフト表示\\表示設定.txt");
  QVERIFY(WriteZip(box.host(kArchive), {
                                           Entry{"bin/", {}, false, true},
                                           File("bin/run.exe", noise),
                                           Entry{"data/deep/er/noise.bin", noise, false, false, false, false},
                                           File("data/text.txt", text),
                                           File("empty.txt", {}),
                                           File(Cp932(japanese), "cp932"),
                                           Entry{"説明/✓読んで.txt", "utf-8", true},
                                           // FAT holds one folder for both spellings.
                                           File("Docs/a.txt", "a"),
                                           File("DOCS/b.txt", "b"),
                                       }));

  const Call call = CallUnzip(kCommand);
  QCOMPARE(call.result, 0);
  QVERIFY2(call.report.startsWith("unzip: "), call.report);

  QCOMPARE(box.tree("\\DiskOnChip\\PP_APP\\Tool"),
           QStringList({"Docs/a.txt", "Docs/b.txt", "bin/run.exe", "data/deep/er/noise.bin", "data/text.txt",
                        "empty.txt", "ソフト表示/表示設定.txt", "説明/✓読んで.txt"}));
  QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\bin\\run.exe"), noise);
  QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\data\\deep\\er\\noise.bin"), noise);
  QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\data\\text.txt"), text);
  QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\ソフト表示\\表示設定.txt"), QByteArray("cp932"));
  QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\説明\\✓読んで.txt"), QByteArray("utf-8"));
  // Readable like any folder made there (a private temporary folder renamed
  // into place would not be).
  QVERIFY(QDir().mkdir(box.host("\\DiskOnChip\\Other")));
  QCOMPARE(QFileInfo(box.host("\\DiskOnChip\\PP_APP\\Tool")).permissions(),
           QFileInfo(box.host("\\DiskOnChip\\Other")).permissions());
  // The missing application folder was made; nothing but the destination is in it.
  QCOMPARE(QDir(box.host("\\DiskOnChip\\PP_APP")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
           QStringList({"Tool"}));
}

void TestUnzipLibrary::extractsWindowsArchiveMadeByZipTool() {
  const QString zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
  if (zip.isEmpty()) QSKIP("the zip tool is not installed");
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box));
  // A tree whose names are CP932 bytes, as on the Windows machine that packs
  // an application: the tool stores them as they are, without the UTF-8 flag.
  QTemporaryDir work;
  const QByteArray base = QFile::encodeName(work.path()) + "/tree";
  const QByteArray folder = base + "/" + Cp932(QStringLiteral("ソフト"));
  const QByteArray file = folder + "/" + Cp932(QStringLiteral("表示.ini"));
  QCOMPARE(::mkdir(base.constData(), 0755), 0);
  QCOMPARE(::mkdir(folder.constData(), 0755), 0);
  {
    FILE *stream = fopen(file.constData(), "wb");
    QVERIFY(stream);
    fputs("[Menu]\r\n", stream);
    fclose(stream);
  }
  QDir().mkpath(QFileInfo(box.host(kArchive)).absolutePath());
  QProcess process;
  process.setWorkingDirectory(QFile::decodeName(base));
  process.start(zip, {"-r", "-q", box.host(kArchive), "."});
  QVERIFY(process.waitForFinished(30000));
  QCOMPARE(process.exitCode(), 0);
  ::unlink(file.constData());
  ::rmdir(folder.constData());

  const Call call = CallUnzip(kCommand);
  QVERIFY2(call.result == 0, call.report);
  QCOMPARE(box.tree("\\DiskOnChip\\PP_APP\\Tool"), QStringList({"ソフト/表示.ini"}));
  QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\ソフト\\表示.ini"), QByteArray("[Menu]\r\n"));
}

void TestUnzipLibrary::refusesHostileArchives_data() {
  QTest::addColumn<QList<Entry>>("entries");
  QTest::addColumn<QByteArray>("reason");  // part of the report
  const QByteArray victim = QFile::encodeName(m_outside.path()) + "/victim.txt";
  // From \DiskOnChip\PP_APP\Tool up past the device root into the folder beside it.
  const QByteArray pastRoot =
      "../../../../" + QFile::encodeName(QFileInfo(m_outside.path()).fileName()) + "/victim.txt";
  // A harmless entry comes first, so that a library writing as it goes would
  // leave something behind.
  const Entry first = File("good.txt", "good");
  QTest::newRow("../x") << QList<Entry>{first, File("../x")} << QByteArray("leaves");
  QTest::newRow("..\\x") << QList<Entry>{first, File("..\\x")} << QByteArray("leaves");
  QTest::newRow("a/../../x") << QList<Entry>{first, File("a/../../x")} << QByteArray("leaves");
  QTest::newRow("a\\..\\..\\x, UTF-8") << QList<Entry>{first, Entry{"a\\..\\..\\x", "x", true}} << QByteArray("leaves");
  QTest::newRow("past the device root") << QList<Entry>{first, File(pastRoot)} << QByteArray("leaves");
  QTest::newRow("/abs") << QList<Entry>{first, File(victim)} << QByteArray("absolute");
  QTest::newRow("\\abs") << QList<Entry>{first, File("\\DiskOnChip\\x")} << QByteArray("absolute");
  QTest::newRow("C:x") << QList<Entry>{first, File("C:x")} << QByteArray("drive");
  QTest::newRow("C:\\x") << QList<Entry>{first, File("C:\\x")} << QByteArray("drive");
  QTest::newRow("folder ../") << QList<Entry>{first, Entry{"../evil/", {}, false, true}} << QByteArray("leaves");
  QTest::newRow("symlink") << QList<Entry>{first, Entry{"link", victim, false, false, true}}
                           << QByteArray("symbolic link");
  QTest::newRow("symlink, then through it")
      << QList<Entry>{Entry{"dir", QFile::encodeName(m_outside.path()), false, false, true}, File("dir/victim.txt")}
      << QByteArray("symbolic link");
  QTest::newRow("case duplicates") << QList<Entry>{first, File("ReadMe.txt", "1"), File("README.TXT", "2")}
                                   << QByteArray("case");
  QTest::newRow("case duplicates, CP932 and UTF-8")
      << QList<Entry>{first, File(Cp932(QStringLiteral("設定Ａ.ini"))), Entry{"設定Ａ.INI", "x", true}}
      << QByteArray("case");
  QTest::newRow("file where a folder goes")
      << QList<Entry>{File("Data", "file"), File("data/x.txt")} << QByteArray("needs a folder");
  QTest::newRow("control character") << QList<Entry>{first, File("a\nb.txt")} << QByteArray("character");
}

void TestUnzipLibrary::refusesHostileArchives() {
  QFETCH(QList<Entry>, entries);
  QFETCH(QByteArray, reason);
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box));
  QVERIFY(WriteZip(box.host(kArchive), entries));
  const auto before = Snapshot(box.root());
  const auto outsideBefore = Snapshot(m_outside.path());

  const Call call = CallUnzip(kCommand);
  QVERIFY2(call.result != 0, call.report);
  QVERIFY2(call.report.contains(reason), call.report);
  // Not even the application folder it would have created is left.
  QCOMPARE(Snapshot(box.root()), before);
  QCOMPARE(Snapshot(m_outside.path()), outsideBefore);
}

void TestUnzipLibrary::refusesDamagedArchives_data() {
  QTest::addColumn<QString>("damage");
  QTest::newRow("CRC mismatch") << "crc";
  QTest::newRow("truncated") << "truncate";
  QTest::newRow("size understated") << "understate";
  QTest::newRow("not an archive") << "text";
  QTest::newRow("missing archive") << "missing";
}

void TestUnzipLibrary::refusesDamagedArchives() {
  QFETCH(QString, damage);
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box));
  const QByteArray marker = "stored content whose CRC is recorded ";
  QVERIFY(WriteZip(box.host(kArchive), {
                                           File("first.txt", "first"),
                                           Entry{"stored.txt", marker.repeated(100), false, false, false, false},
                                           File("zeros.bin", QByteArray(4 << 20, '\0')),
                                           File("noise.bin", RandomBytes(200 * 1024, 3)),
                                       }));
  QByteArray bytes = box.read(kArchive);
  if (damage == "crc") {
    const qsizetype at = bytes.indexOf(marker) + 5;
    bytes[at] = char(bytes[at] ^ 0x20);
  } else if (damage == "truncate") {
    bytes.truncate(bytes.size() * 3 / 5);
  } else if (damage == "understate") {
    // zeros.bin claims 100 bytes in both headers but inflates to 4 MiB.
    auto patch = [&bytes](qsizetype header, qsizetype offset) {
      qToLittleEndian<quint32>(100, bytes.data() + header + offset);
    };
    const QByteArray name = "zeros.bin";
    for (qsizetype at = bytes.indexOf(name); at >= 0; at = bytes.indexOf(name, at + 1)) {
      if (bytes.mid(at - 30, 4) == "PK\x03\x04") patch(at - 30, 22);
      if (bytes.mid(at - 46, 4) == "PK\x01\x02") patch(at - 46, 24);
    }
    Device::SetFreeBytesOverride(1 << 20);
  } else if (damage == "text") {
    bytes = "this is not a ZIP archive\r\n";
  } else if (damage == "missing") {
    bytes.clear();
  }
  if (damage == "missing")
    QVERIFY(QFile::remove(box.host(kArchive)));
  else
    box.write(kArchive, bytes);
  const auto before = Snapshot(box.root());

  const Call call = CallUnzip(kCommand);
  QVERIFY2(call.result != 0, call.report);
  QCOMPARE(Snapshot(box.root()), before);
}

void TestUnzipLibrary::checksFreeSpaceBeforeWriting_data() {
  QTest::addColumn<qint64>("spare");
  QTest::addColumn<bool>("extracted");
  QTest::newRow("one byte short") << qint64(-1) << false;
  QTest::newRow("exactly enough") << qint64(0) << true;
}

void TestUnzipLibrary::checksFreeSpaceBeforeWriting() {
  QFETCH(qint64, spare);
  QFETCH(bool, extracted);
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box));
  const qint64 total = 3 * 100000 + 1234;
  QVERIFY(
      WriteZip(box.host(kArchive), {File("a.bin", RandomBytes(100000, 1)), File("b/b.bin", RandomBytes(100000, 2)),
                                    File("b/c/c.bin", RandomBytes(100000, 3)), File("d.txt", QByteArray(1234, 'd'))}));
  Device::SetFreeBytesOverride(total + spare);
  const auto before = Snapshot(box.root());

  const Call call = CallUnzip(kCommand);
  QCOMPARE(call.result == 0, extracted);
  if (extracted) {
    QCOMPARE(box.tree("\\DiskOnChip\\PP_APP\\Tool").size(), 4);
  } else {
    QVERIFY2(call.report.contains("free"), call.report);
    QCOMPARE(Snapshot(box.root()), before);
  }
}

void TestUnzipLibrary::refusesMalformedCommands_data() {
  QTest::addColumn<QString>("command");
  QTest::newRow("no quotes") << "efq \\Storage Card\\PP_APP\\Tool.ZIP \\DiskOnChip\\PP_APP\\Tool\\";
  QTest::newRow("no closing quote") << "efq \"\\Storage Card\\PP_APP\\Tool.ZIP \\DiskOnChip\\PP_APP\\Tool\\";
  QTest::newRow("missing destination") << "efq \"\\Storage Card\\PP_APP\\Tool.ZIP\"";
  QTest::newRow("blank destination") << "efq \"\\Storage Card\\PP_APP\\Tool.ZIP\" ";
  QTest::newRow("no final backslash") << "efq \"\\Storage Card\\PP_APP\\Tool.ZIP\" \\DiskOnChip\\PP_APP\\Tool";
  QTest::newRow("destination outside the root")
      << "efq \"\\Storage Card\\PP_APP\\Tool.ZIP\" \\DiskOnChip\\..\\..\\Tool\\";
  QTest::newRow("destination with a drive") << "efq \"\\Storage Card\\PP_APP\\Tool.ZIP\" C:\\Tool\\";
  QTest::newRow("destination is the root") << "efq \"\\Storage Card\\PP_APP\\Tool.ZIP\" \\";
  QTest::newRow("archive outside the root") << "efq \"\\..\\Tool.ZIP\" \\DiskOnChip\\PP_APP\\Tool\\";
  QTest::newRow("other verb") << "x \"\\Storage Card\\PP_APP\\Tool.ZIP\" \\DiskOnChip\\PP_APP\\Tool\\";
  QTest::newRow("empty") << "";
}

void TestUnzipLibrary::refusesMalformedCommands() {
  QFETCH(QString, command);
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box));
  QVERIFY(WriteZip(box.host(kArchive), {File("a.txt")}));
  const auto before = Snapshot(box.root());

  const Call call = CallUnzip(command);
  QVERIFY2(call.result != 0, call.report);
  QVERIFY(!call.report.isEmpty());
  QCOMPARE(Snapshot(box.root()), before);
  QVERIFY(!QFileInfo::exists(QFileInfo(box.root()).path() + "/Tool"));
}

void TestUnzipLibrary::refusesExistingDestination_data() {
  QTest::addColumn<QString>("existing");
  QTest::newRow("same spelling") << "\\DiskOnChip\\PP_APP\\Tool\\old.txt";
  QTest::newRow("other case") << "\\DiskOnChip\\PP_APP\\TOOL\\old.txt";
}

void TestUnzipLibrary::refusesExistingDestination() {
  QFETCH(QString, existing);
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box));
  QVERIFY(WriteZip(box.host(kArchive), {File("new.txt")}));
  box.write(existing, "old");
  const auto before = Snapshot(box.root());
  const Call call = CallUnzip(kCommand);
  QVERIFY2(call.result != 0, call.report);
  QCOMPARE(Snapshot(box.root()), before);
}

void TestUnzipLibrary::reportStaysInsideTheBuffer() {
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box));
  QLibrary library(*Device::MapPath(QStringLiteral("\\DiskOnChip\\unzip.dll")));
  QVERIFY2(library.load(), qPrintable(library.errorString()));
  auto unzip = reinterpret_cast<UnZipProc>(library.resolve(UnzipApi::kUnZipSymbol));
  QVERIFY(unzip);
  // A report with non-ASCII text, cut short by a small buffer.
  const QString command = QStringLiteral("efq \"\\Storage Card\\ツール.ZIP\" \\DiskOnChip\\ツール\\");
  for (unsigned size : {1u, 2u, 11u, 12u, 13u, 40u}) {
    std::vector<char> buffer(64, '\x7f');
    QVERIFY(unzip(nullptr, reinterpret_cast<const char16_t *>(command.utf16()), buffer.data(), size) != 0);
    const qsizetype length = qstrnlen(buffer.data(), size);
    QVERIFY2(length < qsizetype(size), "not terminated inside the buffer");
    QVERIFY(std::all_of(buffer.begin() + size, buffer.end(), [](char c) { return c == '\x7f'; }));
    QCOMPARE(QString::fromUtf8(buffer.data()).toUtf8(), QByteArray(buffer.data()));  // whole characters only
  }
  library.unload();
}

void TestUnzipLibrary::exportsOnlyTheEntryPoints() {
  Sandbox box;
  QVERIFY(InstallUnzipLibrary(box, UnzipVariant::WithoutVersion));
  QLibrary library(*Device::MapPath(QStringLiteral("\\DiskOnChip\\unzip.dll")));
  QVERIFY2(library.load(), qPrintable(library.errorString()));
  QVERIFY(!library.resolve(UnzipApi::kGetVersionSymbol));
  QVERIFY(library.resolve(UnzipApi::kUnZipSymbol));
  library.unload();

  // The device layer inside must stay private: exported, it could bind to
  // the loading program's own copy.
  const QString nm = QStandardPaths::findExecutable(QStringLiteral("nm"));
  if (nm.isEmpty()) QSKIP("nm is not installed");
  const QList<QPair<UnzipVariant, QStringList>> expected = {
      {UnzipVariant::Complete, {"UnZip", "UnZipGetVersion"}},
      {UnzipVariant::WithoutVersion, {"UnZip"}},
  };
  for (const auto &[variant, symbols] : expected) {
    QProcess process;
    process.start(nm, {"-D", "--defined-only", "--format=just-symbols", BuiltUnzipLibrary(variant)});
    QVERIFY(process.waitForFinished(30000));
    QStringList exported = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    exported.sort();
    QCOMPARE(exported, symbols);
  }
}

QTEST_GUILESS_MAIN(TestUnzipLibrary)
#include "TestUnzipLibrary.moc"
