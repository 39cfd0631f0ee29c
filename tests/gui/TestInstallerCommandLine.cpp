// pp-installer as a process: a command line it cannot use is refused before
// any window shows; a good one starts up and, as a service aid, saves the
// dialog's picture.
#include "ControllerSim.h"
#include "MediumBuilder.h"
#include "Sandbox.h"

#include <QImage>
#include <QProcess>
#include <QtTest>

class TestInstallerCommandLine : public QObject {
  Q_OBJECT

 private slots:
  void badOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown medium") << QStringList{"--medium", "floppy"} << "--medium takes cf or usb";
    QTest::newRow("missing value") << QStringList{"/D", "127.0.0.1", "--device-root"} << "needs a value";
    QTest::newRow("no such device root") << QStringList{"--device-root", "/nonexistent/pp"} << "is not a folder";
    QTest::newRow("unknown code page") << QStringList{"--device-root", "/tmp", "--codepage", "NOPE"} << "NOPE";
    QTest::newRow("unknown option") << QStringList{"--device-root", "/tmp", "--colour", "red"} << "--colour";
  }

  void badOptions() {
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

  void screenshotAfterStartUp() {
    Sandbox box;
    ControllerSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.log()));
    MediumBuilder::WritePackage(box, PackageSpec::Simple("Alpha"));
    const QString picture = box.root() + QStringLiteral("/dialog.png");
    QProcess installer;
    installer.start(QStringLiteral(PP_INSTALLER), {"--device-root", box.root(), "--medium", "cf", "/D", sim.address(),
                                                   "--screenshot", picture});
    QVERIFY(installer.waitForFinished(60000));
    QCOMPARE(installer.exitCode(), 0);
    QCOMPARE(QImage(picture).size(), QSize(640, 480));
  }
};

QTEST_GUILESS_MAIN(TestInstallerCommandLine)
#include "TestInstallerCommandLine.moc"
