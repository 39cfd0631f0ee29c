#pragma once
// The whole of pp-installer: options, settings, fonts and the main dialog's
// modal loop. Kept out of main() so that the start-up benchmark runs exactly
// this code.
int InstallerMain(int argc, char **argv);
