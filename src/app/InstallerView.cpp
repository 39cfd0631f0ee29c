#include "InstallerView.h"

namespace {
InstallerView *g_mainView = nullptr;
}

InstallerView *MainView() { return g_mainView; }
void SetMainView(InstallerView *view) { g_mainView = view; }
