#pragma once
// pp-install: the installer without a display, for scripts, service work and
// tests. Runs the same stages as the dialog and prints what the operator
// would see, one line per status or alert.
#include <QStringList>
#include <QTextStream>

class PpInstall {
 public:
  PpInstall(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}
  // Arguments without the program name. Exit status: 0 when no alert was
  // shown, 1 when one was, 2 for a usage error.
  int execute(const QStringList &args);

  static QString HelpText();

 private:
  int Usage(const QString &message);
  QTextStream &m_out;
  QTextStream &m_err;
};
