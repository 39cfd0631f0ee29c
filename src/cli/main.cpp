#include "PpInstall.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);
  PpInstall tool(out, err);
  return tool.execute(app.arguments().mid(1));
}
