#pragma once
// Start-up settings: the "/D" option with the controller's FTP address, the
// device options of this port (device root, medium override, code page) and
// the medium the program was started from.
#include "ftp/FtpEndpoint.h"

#include <QString>
#include <QStringList>

// The value of the "/D" option in a command line: the text after the first
// blank that follows "/D", up to the next "/", trimmed. Empty when absent.
QString ParseServerOption(const QString &commandLine);

// 2 (CF card) when the CE path of the executable lies on "\Storage Card\",
// 1 (USB memory) otherwise.
int DetectMediumKind(const QString &executableCePath);

// The options of this port, taken out of the argument list before the "/D"
// rule sees what remains. A value given here wins over the environment.
struct DeviceOptions {
  QString deviceRoot;  // --device-root DIR
  QString medium;      // --medium cf|usb
  QString codepage;    // --codepage NAME
};
// Removes the device options from args (the program name is not in args).
// False with a message in *error for an unknown value or a missing one.
bool TakeDeviceOptions(QStringList &args, DeviceOptions *options, QString *error);

// The controller as the settings name it: the address ("/D", else the
// string table's), the login of the string table, and the timeouts, from
// PP_FTP_CONNECT_TIMEOUT_MS and PP_FTP_STALL_TIMEOUT_MS when set.
FtpEndpoint ControllerEndpoint(const QString &address);

// What the workflow needs to know from the start-up.
struct InstallerSettings {
  int mediumKind = 0;  // 1 USB memory, 2 CF card
  FtpEndpoint controller;
};

class InstallerApp {
 public:
  // Applies the device options and the remaining command line: device root,
  // code page, controller and medium kind. False with a message in *error
  // when the settings cannot be used (no device root, unknown code page).
  bool InitSettings(const DeviceOptions &options, const QStringList &remainingArgs, QString *error);

  const InstallerSettings &Settings() const { return m_settings; }
  int MediumKind() const { return m_settings.mediumKind; }

 private:
  InstallerSettings m_settings;
};
