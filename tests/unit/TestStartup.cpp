// The command line and the medium the program was started from.
#include "Sandbox.h"
#include "app/AlertDialog.h"
#include "app/InstallerApp.h"
#include "app/StringTable.h"
#include "RecordingView.h"

#include <QtTest>

class TestStartup : public QObject {
  Q_OBJECT

 private slots:
  void serverOption_data();
  void serverOption();
  void mediumKind_data();
  void mediumKind();
  void deviceOptions();
  void catalogue();
  void alertStateIsSticky();
};

void TestStartup::serverOption_data() {
  QTest::addColumn<QString>("commandLine");
  QTest::addColumn<QString>("address");
  QTest::newRow("plain") << "/D 127.0.0.1" << "127.0.0.1";
  QTest::newRow("blanks and a later option") << "/D    127.0.0.1   /X" << "127.0.0.1";
  QTest::newRow("with port") << "/D 127.0.0.1:2121" << "127.0.0.1:2121";
  QTest::newRow("no blank after /D") << "/D127.0.0.1" << "";
  QTest::newRow("no option") << "-x 1.2.3.4" << "";
  QTest::newRow("lower case d is not the option") << "/d 1.2.3.4" << "";
  QTest::newRow("empty value") << "/D /X" << "";
  QTest::newRow("blank found later in the line") << "/D127.0.0.1 more" << "more";
}

void TestStartup::serverOption() {
  QFETCH(QString, commandLine);
  QFETCH(QString, address);
  QCOMPARE(ParseServerOption(commandLine), address);
}

void TestStartup::mediumKind_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<int>("kind");
  QTest::newRow("CF card") << "\\Storage Card\\PP_APP\\pp-installer" << 2;
  QTest::newRow("CF card lower case") << "\\storage card\\pp-installer" << 2;
  QTest::newRow("USB memory") << "\\USB Memory\\pp-installer" << 1;
  QTest::newRow("flash disk") << "\\DiskOnChip\\pp-installer" << 1;
  QTest::newRow("outside the device") << "" << 1;
  QTest::newRow("no second backslash") << "\\Storage Card" << 1;
}

void TestStartup::mediumKind() {
  QFETCH(QString, path);
  QFETCH(int, kind);
  QCOMPARE(DetectMediumKind(path), kind);
}

void TestStartup::deviceOptions() {
  Sandbox box;
  QStringList args = {"--device-root", box.root(), "/D", "127.0.0.1:2121", "--medium", "cf", "--codepage=CP932"};
  DeviceOptions options;
  QString error;
  QVERIFY(TakeDeviceOptions(args, &options, &error));
  // The options are taken out first, so none can become part of the address.
  QCOMPARE(args, QStringList({"/D", "127.0.0.1:2121"}));
  InstallerApp app;
  QVERIFY2(app.InitSettings(options, args, &error), qPrintable(error));
  QCOMPARE(app.MediumKind(), 2);
  QCOMPARE(FtpServerAddress(), QString("127.0.0.1:2121"));

  QStringList missing = {"--medium"};
  QVERIFY(!TakeDeviceOptions(missing, &options, &error));
  QStringList bad = {"--medium", "floppy"};
  QVERIFY(!TakeDeviceOptions(bad, &options, &error));
  DeviceOptions unknownPage;
  unknownPage.deviceRoot = box.root();
  unknownPage.codepage = "NOT-A-PAGE";
  QVERIFY(!app.InitSettings(unknownPage, {}, &error));
  QVERIFY(error.contains("NOT-A-PAGE"));
}

void TestStartup::catalogue() {
  QCOMPARE(LoadString(2011), QString("FATAL ERROR\n FTP file transfar error."));
  QCOMPARE(LoadString(2023), QString("The one-touch button name is too long. \nThe characters exceeding 14 will be "
                                     "delete. Continue registration?"));
  QCOMPARE(LoadString(4012), QString("\\DiskOnChip\\PP_APP"));
  QCOMPARE(LoadString(9999), QString());
  for (int id = 2001; id <= 2026; ++id) QVERIFY2(!LoadString(id).isEmpty(), qPrintable(QString::number(id)));
  for (int id = 3001; id <= 3026; ++id) QVERIFY2(!LoadString(id).isEmpty(), qPrintable(QString::number(id)));
}

void TestStartup::alertStateIsSticky() {
  RecordingView view;
  SetMainView(&view);
  AlertDialog alert;
  QCOMPARE(alert.ShowAlert(2012, "error function. (X)"), 1);
  QVERIFY(!view.alerts.last().request.showCancel);
  alert.SetButtonState(AlertDialog::kFirstButton, 1);
  alert.SetButtonState(AlertDialog::kSecondButton, 1);
  alert.SetYesNoCaptions(1);
  view.answer({0});
  QCOMPARE(alert.ShowAlert(2023, "Error name ---> (x)"), 0);
  // The next alert through the same object keeps two buttons and YES/NO.
  alert.ShowAlert(2005, QString());
  QVERIFY(view.alerts.last().request.showCancel);
  QVERIFY(view.alerts.last().request.yesNo);
  QCOMPARE(view.alerts.last().request.message, QString("Unzip error.\n Continue to install."));
  SetMainView(nullptr);
  QCOMPARE(alert.ShowAlert(2005, QString()), -1);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
