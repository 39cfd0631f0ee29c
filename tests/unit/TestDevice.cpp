// The device's file system: FAT-like name lookup under the device root and
// the guarantee that no path leaves it.
#include "Sandbox.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QtTest>

class TestDevice : public QObject {
  Q_OBJECT

 private slots:
  void caseInsensitiveLookup() {
    Sandbox box;
    box.write("\\Storage Card\\PP_APP\\Tool.ZIP", "zip");
    QVERIFY(Device::IsFile("\\storage card\\pp_app\\TOOL.zip"));
    QCOMPARE(*Device::MapPath("\\STORAGE CARD\\pp_app\\tool.zip"), box.root() + "/Storage Card/PP_APP/Tool.ZIP");
    // A name that does not exist yet keeps the case it was given.
    QCOMPARE(*Device::MapPath("\\storage card\\PP_APP\\New\\File.txt"), box.root() + "/Storage Card/PP_APP/New/File.txt");
    // Forward slashes and doubled separators are accepted.
    QVERIFY(Device::IsFile("/Storage Card//PP_APP/tool.zip"));
    QCOMPARE(Device::ToCePath(box.host("\\Storage Card\\PP_APP")), QString("\\Storage Card\\PP_APP"));
    QCOMPARE(Device::ToCePath("/usr/bin/env"), QString());
    // Names that become folders below a known one keep to it.
    QVERIFY(Device::IsContainedRelativePath("Tool\\sub/file.txt"));
    for (const char *name : {"..\\x", "\\abs", "C:x", "a\\C:\\x"}) QVERIFY2(!Device::IsContainedRelativePath(name), name);
  }

  void escapingPathsAreRefused_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("parent") << "\\DiskOnChip\\..\\..\\victim.txt";
    QTest::newRow("drive letter") << "C:\\victim.txt";
    QTest::newRow("drive in the middle") << "\\DiskOnChip\\C:\\victim.txt";
    QTest::newRow("through a link") << "\\DiskOnChip\\link\\victim.txt";
  }

  void escapingPathsAreRefused() {
    QFETCH(QString, path);
    QTemporaryDir outside;
    QVERIFY(QFile(outside.path() + "/victim.txt").open(QIODevice::WriteOnly));
    Sandbox box;
    QVERIFY(QFile::link(outside.path(), box.host("\\DiskOnChip\\link")));  // a FAT volume has none: never walked through
    QVERIFY(!Device::MapPath(path));
    QVERIFY(!Device::Exists(path));
    QVERIFY(!Device::DeleteFile(path));
    QVERIFY(!Device::CreateDirectory(path));
    QVERIFY(!Device::WriteFileAtomically(path, "x"));
    QVERIFY(QFile::exists(outside.path() + "/victim.txt"));
    // The link is listed as a plain entry, never as a folder to descend into.
    const auto found = Device::FindFiles("\\DiskOnChip\\*");
    QVERIFY(found.size() == 1 && !found[0].directory);
  }

  void wildcardEnumeration() {
    Sandbox box;
    for (const char *name : {"b.INI", "A.ini", "PP_MENU.INI", "c.zip", "note.INI.txt"})
      box.write(QString("\\Storage Card\\PP_APP\\") + name, "x");
    box.mkdir("\\Storage Card\\PP_APP\\Dir.INI");
    QStringList names;
    for (const auto &f : Device::FindFiles("\\STORAGE CARD\\pp_app\\*.INI")) names << f.name + (f.directory ? "/" : "");
    QCOMPARE(names, QStringList({"A.ini", "b.INI", "Dir.INI/", "PP_MENU.INI"}));
    QCOMPARE(Device::FindFiles("\\Storage Card\\PP_APP\\*").size(), 6);
    QVERIFY(Device::FindFiles("\\Storage Card\\NOPE\\*").isEmpty());
    QVERIFY(Device::FindFiles("\\Storage Card\\PP_APP\\..").isEmpty());
  }

  void fileOperations() {
    Sandbox box;
    QVERIFY(Device::CreateDirectory("\\DiskOnChip\\PP_APP"));
    QVERIFY(!Device::CreateDirectory("\\diskonchip\\pp_app"));  // exists already
    QVERIFY(!Device::CreateDirectory("\\DiskOnChip\\a\\b"));    // one level only
    box.write("\\DiskOnChip\\PP_APP\\x.txt", "one");
    QVERIFY(!Device::RemoveDirectory("\\DiskOnChip\\PP_APP"));  // not empty
    QVERIFY(Device::CopyFile("\\DiskOnChip\\PP_APP\\X.TXT", "\\DiskOnChip\\PP_APP\\y.txt", true));
    // An atomic write replaces the file of any spelling whole and leaves no temporary file.
    QVERIFY(Device::WriteFileAtomically("\\DISKONCHIP\\pp_app\\X.TXT", "2"));
    QCOMPARE(box.tree("\\DiskOnChip"), QStringList({"PP_APP/x.txt", "PP_APP/y.txt"}));
    QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\x.txt"), QByteArray("2"));
    QVERIFY(!Device::WriteFileAtomically("\\DiskOnChip\\missing\\a.ini", "x"));  // no folder, no file
    QVERIFY(!Device::CopyFile("\\DiskOnChip\\PP_APP\\x.txt", "\\DiskOnChip\\PP_APP\\Y.TXT", true));  // kept
    QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\y.txt"), QByteArray("one"));
    QVERIFY(Device::DeleteFile("\\DiskOnChip\\PP_APP\\X.txt"));
    QVERIFY(Device::DeleteFile("\\DiskOnChip\\PP_APP\\y.txt"));
    QVERIFY(Device::RemoveDirectory("\\DiskOnChip\\PP_APP"));
    // Free space of the volume that would hold a path; tests may pretend a size.
    QVERIFY(Device::FreeBytes("\\DiskOnChip\\PP_APP\\not\\yet") > 0);  // nearest existing folder
    Device::SetFreeBytesOverride(4096);
    QCOMPARE(Device::FreeBytes("\\DiskOnChip\\PP_APP"), qint64(4096));
    Device::SetFreeBytesOverride(-1);
    QVERIFY(Device::FreeBytes("\\DiskOnChip") != 4096);
  }

  void codePageConversion() {
    QVERIFY(CodePage::SetName("CP932") && !CodePage::SetName("NO-SUCH-PAGE"));
    QCOMPARE(CodePage::Name(), QByteArray("CP932"));
    // A double-byte character is two bytes, a character the page lacks "?";
    // control characters keep their values in both directions.
    QCOMPARE(CodePage::Encode(QString::fromUtf8("ツA\U0001F600")), QByteArray("\x83\x63\x41?"));
    const QByteArray controls("\x1a\x1c\x7f\x83\x63", 5);
    QCOMPARE(CodePage::Encode(CodePage::Decode(controls)), controls);
  }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "TestDevice.moc"
