#include "InstallerApp.h"

#include "StringTable.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QDir>
#include <QFileInfo>

namespace {

int TimeoutFromEnvironment(const char *variable, int fallback) {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(variable, &ok);
  return ok && value > 0 ? value : fallback;
}

}  // namespace

FtpEndpoint ControllerEndpoint(const QString &address) {
  FtpEndpoint endpoint;
  endpoint.address = address.isEmpty() ? LoadString(4005) : address;
  endpoint.user = LoadString(4006);
  endpoint.password = LoadString(4007);
  endpoint.timeouts.connectMs = TimeoutFromEnvironment("PP_FTP_CONNECT_TIMEOUT_MS", endpoint.timeouts.connectMs);
  endpoint.timeouts.stallMs = TimeoutFromEnvironment("PP_FTP_STALL_TIMEOUT_MS", endpoint.timeouts.stallMs);
  return endpoint;
}

QString ParseServerOption(const QString &commandLine) {
  const qsizetype p = commandLine.indexOf(QStringLiteral("/D"));
  if (p < 0) return {};
  const qsizetype q = commandLine.indexOf(u' ', p);
  if (q < 0) return {};
  qsizetype r = commandLine.indexOf(u'/', q);
  if (r < 0) r = commandLine.size();
  return commandLine.mid(q, r - q).trimmed();
}

int DetectMediumKind(const QString &executableCePath) {
  const qsizetype end = executableCePath.indexOf(u'\\', 1);
  if (executableCePath.isEmpty() || end < 0) return 1;
  const QString volume = executableCePath.left(end + 1);
  if (volume.compare(LoadString(4011), Qt::CaseInsensitive) == 0) return 2;
  return 1;
}

bool TakeDeviceOptions(QStringList &args, DeviceOptions *options, QString *error) {
  QStringList rest;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString &arg = args[i];
    QString *target = nullptr;
    QString name = arg;
    QString value;
    bool inlineValue = false;
    const qsizetype eq = arg.indexOf(u'=');
    if (arg.startsWith(QStringLiteral("--")) && eq > 0) {
      name = arg.left(eq);
      value = arg.mid(eq + 1);
      inlineValue = true;
    }
    if (name == QStringLiteral("--device-root"))
      target = &options->deviceRoot;
    else if (name == QStringLiteral("--medium"))
      target = &options->medium;
    else if (name == QStringLiteral("--codepage"))
      target = &options->codepage;
    if (!target) {
      rest.append(arg);
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        *error = QStringLiteral("option %1 needs a value").arg(name);
        return false;
      }
      value = args[++i];
    }
    if (target == &options->medium) {
      value = value.toLower();
      if (value != QStringLiteral("cf") && value != QStringLiteral("usb")) {
        *error = QStringLiteral("--medium takes cf or usb, not \"%1\"").arg(value);
        return false;
      }
    }
    *target = value;
  }
  args = rest;
  return true;
}

bool InstallerApp::InitSettings(const DeviceOptions &options, const QStringList &remainingArgs, QString *error) {
  QString root = options.deviceRoot;
  if (root.isEmpty()) root = qEnvironmentVariable("PP_DEVICE_ROOT");
  if (root.isEmpty()) {
    *error = QStringLiteral("no device root: give --device-root DIR or set PP_DEVICE_ROOT");
    return false;
  }
  if (!QFileInfo(root).isDir()) {
    *error = QStringLiteral("device root \"%1\" is not a folder").arg(root);
    return false;
  }
  Device::SetRoot(root);

  const QByteArray codepage = options.codepage.isEmpty() ? CodePage::Name() : options.codepage.toLatin1();
  if (!CodePage::SetName(codepage)) {
    *error = QStringLiteral("unknown code page \"%1\"").arg(QString::fromLatin1(codepage));
    return false;
  }

  m_settings.controller = ControllerEndpoint(ParseServerOption(remainingArgs.join(u' ')));
  if (options.medium == QStringLiteral("cf"))
    m_settings.mediumKind = 2;
  else if (options.medium == QStringLiteral("usb"))
    m_settings.mediumKind = 1;
  else
    m_settings.mediumKind = DetectMediumKind(Device::ModuleCePath());
  return true;
}
