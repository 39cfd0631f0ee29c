// pp-installer refuses a command line it cannot use, before any window shows.
#include <QProcess>
#include <QtTest>

class TestInstallerCommandLine : public QObject {
  Q_OBJECT

 private slots:
  void badOptions_data();
  void badOptions();
};

void TestInstallerCommandLine::badOptions_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("message");
  QTest::newRow("unknown medium") << QStringList{"--medium", "floppy"} << "--medium takes cf or usb";
  QTest::newRow("missing value") << QStringList{"/D", "127.0.0.1", "--device-root"} << "needs a value";
  QTest::newRow("no such device root") << QStringList{"--device-root", "/nonexistent/pp"} << "is not a folder";
  QTest::newRow("unknown code page") << QStringList{"--device-root", "/tmp", "--codepage", "NOPE"} << "NOPE";
  QTest::newRow("unknown option") << QStringList{"--device-root", "/tmp", "--colour", "red"} << "--colour";
}

void TestInstallerCommandLine::badOptions() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, message);
  QProcess installer;
  installer.start(QStringLiteral(PP_INSTALLER), arguments);
  QVERIFY(installer.waitForFinished(20000));
  QCOMPARE(installer.exitStatus(), QProcess::NormalExit);
  QCOMPARE(installer.exitCode(), 2);
  const QString error = QString::fromUtf8(installer.readAllStandardError());
  QVERIFY2(error.contains(message) && error.contains("usage: pp-installer"), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestInstallerCommandLine)
#include "TestInstallerCommandLine.moc"
