// The device the installer works on: FAT-like lookup under the device root
// and no path that leaves it; and the controller the command line names.
#include "Sandbox.h"
#include "app/InstallerApp.h"
#include "platform/Device.h"

#include <QtTest>

class TestDevice : public QObject {
  Q_OBJECT

 private slots:
  void mapPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("host");  // below the device root; empty: refused
    QTest::newRow("any case finds the file") << "/STORAGE CARD//pp_app\\tool.zip" << "/Storage Card/PP_APP/Tool.ZIP";
    QTest::newRow("a new name keeps its case") << "\\storage card\\PP_APP\\New\\F.txt" << "/Storage Card/PP_APP/New/F.txt";
    QTest::newRow("parent") << "\\DiskOnChip\\..\\..\\victim.txt" << "";
    QTest::newRow("drive letter") << "\\DiskOnChip\\C:\\victim.txt" << "";
    QTest::newRow("through a link") << "\\DiskOnChip\\link\\victim.txt" << "";
  }
  void mapPath() {
    QFETCH(QString, path);
    QFETCH(QString, host);
    QTemporaryDir outside;
    Sandbox box;
    box.write("\\Storage Card\\PP_APP\\Tool.ZIP", "zip");
    QVERIFY(QFile::link(outside.path(), box.host("\\DiskOnChip\\link")));  // a FAT volume has none: never walked through
    QCOMPARE(Device::MapPath(path).value_or(box.root()), box.root() + host);
    // What cannot be mapped cannot be written either.
    QVERIFY(!host.isEmpty() || (!Device::WriteFileAtomically(path, "x") && QDir(outside.path()).isEmpty()));
  }

  void flashFreeBytes_data() {
    QTest::addColumn<qint64>("flash");
    QTest::addColumn<qint64>("free");  // on \DiskOnChip, whose one file takes 3000 bytes
    QTest::newRow("the flash less its files") << qint64(65536) << qint64(65536 - 3000);
    QTest::newRow("files beyond the flash") << qint64(2000) << qint64(0);
  }
  void flashFreeBytes() {
    QFETCH(qint64, flash);
    Sandbox box;
    box.write("\\DiskOnChip\\PP_APP\\Tool\\res\\a.bin", QByteArray(3000, 'x'));
    Device::SetFlashBytes(flash);
    const qint64 free = Device::FreeBytes("\\diskonchip\\PP_APP\\New");
    Device::SetFlashBytes(-1);
    QTEST(free, "free");
  }

  // The controller's address: the text after the first blank that follows
  // "/D", up to the next "/"; without one, the string table's.
  void serverOption_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("address");
    QTest::newRow("blanks, then an option") << "--x /D    10.0.0.1:2121   /X" << "10.0.0.1:2121";
    QTest::newRow("no blank after /D") << "/D10.0.0.1" << "127.0.0.1";
    QTest::newRow("lower-case /d") << "/d 10.0.0.1" << "127.0.0.1";
    QTest::newRow("a blank later in the line") << "/D10.0.0.1 more" << "more";
  }
  void serverOption() {
    QFETCH(QString, commandLine);
    QTEST(ControllerEndpoint(ParseServerOption(commandLine)).address, "address");
  }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "TestDevice.moc"
