// The command line and the medium the program was started from.
#include "Sandbox.h"
#include "app/AlertDialog.h"
#include "app/InstallerApp.h"
#include "app/InstallerView.h"
#include "app/StringTable.h"

#include <QtTest>

class TestStartup : public QObject {
  Q_OBJECT

 private slots:
  void serverOption_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("address");
    QTest::newRow("blanks and a later option") << "/D    127.0.0.1   /X" << "127.0.0.1";
    QTest::newRow("no blank after /D") << "/D127.0.0.1" << "";
    QTest::newRow("lower case d is not the option") << "/d 1.2.3.4" << "";
    QTest::newRow("empty value") << "/D /X" << "";
    QTest::newRow("blank found later in the line") << "/D127.0.0.1 more" << "more";
  }
  void serverOption() {
    QFETCH(QString, commandLine);
    QTEST(ParseServerOption(commandLine), "address");
  }

  void mediumKind_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("kind");
    QTest::newRow("CF card, any case") << "\\storage card\\PP_APP\\pp-installer" << 2;
    QTest::newRow("USB memory") << "\\USB Memory\\pp-installer" << 1;
    QTest::newRow("no second backslash") << "\\Storage Card" << 1;
  }
  void mediumKind() {
    QFETCH(QString, path);
    QTEST(DetectMediumKind(path), "kind");
  }

  // Refused options are run through pp-installer in TestInstallerCommandLine.
  void deviceOptions() {
    Sandbox box;
    QStringList args = {"--device-root", box.root(), "/D", "127.0.0.1:2121", "--medium", "cf", "--codepage=CP932"};
    DeviceOptions options;
    QString error;
    QVERIFY(TakeDeviceOptions(args, &options, &error));
    // The options are taken out first, so none can become part of the address.
    QCOMPARE(args, QStringList({"/D", "127.0.0.1:2121"}));
    QCOMPARE(options.codepage, QString("CP932"));
    InstallerApp app;
    QVERIFY2(app.InitSettings(options, args, &error), qPrintable(error));
    QCOMPARE(app.MediumKind(), 2);
    QCOMPARE(FtpServerAddress(), QString("127.0.0.1:2121"));
  }

  void catalogue() {
    QCOMPARE(LoadString(9999), QString());
    for (int first : {2001, 3001})
      for (int id = first; id <= first + 25; ++id) QVERIFY2(!LoadString(id).isEmpty(), qPrintable(QString::number(id)));
  }

  void alertWithoutView() {
    SetMainView(nullptr);
    QCOMPARE(AlertDialog().ShowAlert(2005, QString()), -1);
  }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
