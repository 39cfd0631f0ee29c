// Transfer operations that are still being written. Each reports honestly
// that it did nothing and fails, so that no caller mistakes it for success.
#include "app/InstallerEngine.h"

#define PP_PENDING(signature, name)                                          \
  int InstallerEngine::signature {                                          \
    ShowStatus(0, QStringLiteral(name ": not available in this build."));   \
    return 0;                                                               \
  }

PP_PENDING(UnzipAppFile(const QString &, const QString &), "UnzipAppFile")
PP_PENDING(InstallOnPendant(), "InstallOnPendant")
PP_PENDING(SyncMenuWithController(), "SyncMenuWithController")
PP_PENDING(UploadKtcAppFile(const QString &, const QString &), "UploadKtcAppFile")
PP_PENDING(UploadKtcAppFiles(), "UploadKtcAppFiles")
