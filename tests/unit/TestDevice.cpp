// The device's file system: FAT-like name lookup under the device root and
// the guarantee that no path leaves it.
#include "Sandbox.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QtTest>

class TestDevice : public QObject {
  Q_OBJECT

 private slots:
  void caseInsensitiveLookup();
  void escapingPathsAreRefused_data();
  void escapingPathsAreRefused();
  void linksAreNotWalkedThrough();
  void wildcardEnumeration();
  void fileOperations();
  void freeSpace();
  void ceRoundTrip();
  void codePageConversion();
};

void TestDevice::caseInsensitiveLookup() {
  Sandbox box;
  box.write("\\Storage Card\\PP_APP\\Tool.ZIP", "zip");
  QVERIFY(Device::IsFile("\\storage card\\pp_app\\TOOL.zip"));
  QCOMPARE(*Device::MapPath("\\STORAGE CARD\\pp_app\\tool.zip"), box.root() + "/Storage Card/PP_APP/Tool.ZIP");
  // A name that does not exist yet keeps the case it was given.
  QCOMPARE(*Device::MapPath("\\storage card\\PP_APP\\New\\File.txt"), box.root() + "/Storage Card/PP_APP/New/File.txt");
  // Forward slashes and doubled separators are accepted.
  QVERIFY(Device::IsFile("/Storage Card//PP_APP/tool.zip"));
}

void TestDevice::escapingPathsAreRefused_data() {
  QTest::addColumn<QString>("path");
  QTest::newRow("parent") << "\\DiskOnChip\\..\\..\\secret";
  QTest::newRow("parent with slash") << "\\DiskOnChip/../../secret";
  QTest::newRow("drive letter") << "C:\\secret";
  QTest::newRow("drive in the middle") << "\\DiskOnChip\\C:\\secret";
}

void TestDevice::escapingPathsAreRefused() {
  QFETCH(QString, path);
  QTemporaryDir outside;
  QFile secret(outside.path() + "/secret");
  QVERIFY(secret.open(QIODevice::WriteOnly));
  secret.close();
  Sandbox box;
  QVERIFY(!Device::MapPath(path));
  QVERIFY(!Device::Exists(path));
  QVERIFY(!Device::DeleteFile(path));
  QVERIFY(!Device::CreateDirectory(path));
  QVERIFY(!Device::WriteFileAtomically(path, "x"));
  QVERIFY(QFile::exists(outside.path() + "/secret"));
}

void TestDevice::linksAreNotWalkedThrough() {
  QTemporaryDir outside;
  QFile target(outside.path() + "/victim.txt");
  QVERIFY(target.open(QIODevice::WriteOnly));
  target.close();
  Sandbox box;
  QVERIFY(QFile::link(outside.path(), box.host("\\DiskOnChip\\link")));
  QVERIFY(!Device::Exists("\\DiskOnChip\\link\\victim.txt"));
  QVERIFY(!Device::DeleteFile("\\DiskOnChip\\link\\victim.txt"));
  // Listed as a plain entry, never as a folder to descend into.
  const auto found = Device::FindFiles("\\DiskOnChip\\*");
  QCOMPARE(found.size(), 1);
  QVERIFY(!found[0].directory);
  QVERIFY(QFile::exists(outside.path() + "/victim.txt"));
}

void TestDevice::wildcardEnumeration() {
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

void TestDevice::fileOperations() {
  Sandbox box;
  QVERIFY(Device::CreateDirectory("\\DiskOnChip\\PP_APP"));
  QVERIFY(!Device::CreateDirectory("\\diskonchip\\pp_app"));  // exists already
  QVERIFY(!Device::CreateDirectory("\\DiskOnChip\\a\\b"));    // one level only
  box.write("\\DiskOnChip\\PP_APP\\x.txt", "one");
  QVERIFY(!Device::RemoveDirectory("\\DiskOnChip\\PP_APP"));  // not empty
  QVERIFY(Device::CopyFile("\\DiskOnChip\\PP_APP\\X.TXT", "\\DiskOnChip\\PP_APP\\y.txt", true));
  box.write("\\DiskOnChip\\PP_APP\\x.txt", "two");
  QVERIFY(!Device::CopyFile("\\DiskOnChip\\PP_APP\\x.txt", "\\DiskOnChip\\PP_APP\\Y.TXT", true));
  QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\y.txt"), QByteArray("one"));
  QVERIFY(Device::CopyFile("\\DiskOnChip\\PP_APP\\x.txt", "\\DiskOnChip\\PP_APP\\Y.TXT", false));
  QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\y.txt"), QByteArray("two"));
  QVERIFY(!Device::DeleteFile("\\DiskOnChip\\PP_APP"));  // a folder is not a file
  QVERIFY(Device::DeleteFile("\\DiskOnChip\\PP_APP\\X.txt"));
  QVERIFY(Device::DeleteFile("\\DiskOnChip\\PP_APP\\y.txt"));
  QVERIFY(Device::RemoveDirectory("\\DiskOnChip\\PP_APP"));
  QVERIFY(!box.exists("\\DiskOnChip\\PP_APP"));
}

void TestDevice::freeSpace() {
  Sandbox box;
  QVERIFY(Device::FreeBytes("\\DiskOnChip\\PP_APP\\not\\yet") > 0);  // nearest existing folder
  Device::SetFreeBytesOverride(4096);
  QCOMPARE(Device::FreeBytes("\\DiskOnChip\\PP_APP"), qint64(4096));
  Device::SetFreeBytesOverride(-1);
  QVERIFY(Device::FreeBytes("\\DiskOnChip") != 4096);
}

void TestDevice::ceRoundTrip() {
  Sandbox box;
  box.write("\\Storage Card\\pp-installer", "x");
  QCOMPARE(Device::ToCePath(box.host("\\Storage Card\\pp-installer")), QString("\\Storage Card\\pp-installer"));
  QCOMPARE(Device::ToCePath("/usr/bin/env"), QString());
  QVERIFY(Device::IsContainedRelativePath("Tool\\sub/file.txt"));
  QVERIFY(!Device::IsContainedRelativePath("..\\x"));
  QVERIFY(!Device::IsContainedRelativePath("\\abs"));
  QVERIFY(!Device::IsContainedRelativePath("C:x"));
}

void TestDevice::codePageConversion() {
  QVERIFY(CodePage::SetName("CP932"));
  QVERIFY(!CodePage::SetName("NO-SUCH-PAGE"));
  QCOMPARE(CodePage::Name(), QByteArray("CP932"));
  // A double-byte character is two bytes; a character the page lacks is "?".
  QCOMPARE(CodePage::Encode(QString::fromUtf8("ツA\U0001F600")), QByteArray("\x83\x63\x41?"));
  QCOMPARE(CodePage::Decode("\x83\x63\x41"), QString::fromUtf8("ツA"));
  // Control characters keep their values in both directions.
  const QByteArray controls("\x1a\x1c\x7f\x83\x63", 5);
  QCOMPARE(CodePage::Encode(CodePage::Decode(controls)), controls);
}

QTEST_GUILESS_MAIN(TestDevice)
#include "TestDevice.moc"
