// pp-installer: the installer's dialog as the operator sees it on the pendant.
#include "InstallerMain.h"

int main(int argc, char **argv) { return InstallerMain(argc, argv); }
