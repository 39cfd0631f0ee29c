#include "StringTable.h"

#include <QHash>

namespace {

// Texts exactly as the pendant shows them, spelling included ("transfar").
const QHash<int, QString> &Table() {
  static const QHash<int, QString> table = {
      {1, QStringLiteral("1")},
      {2, QStringLiteral("00")},

      {2001, QStringLiteral("FATAL ERROR\n Delete /PP_APP Folder on QN350 Controller.")},
      {2002, QStringLiteral("FATAL ERROR\n The number of applications registered\n with exceeds 32.")},
      {2003, QStringLiteral("FATAL ERROR\n Memory to register a chosen application\n is insufficient.")},
      {2004, QStringLiteral("FATAL ERROR\n Initial file not found in CF/USB.")},
      {2005, QStringLiteral("Unzip error.\n Continue to install.")},
      {2006, QStringLiteral("File remove error in Controller.\n Continue to install.")},
      {2007, QStringLiteral("FATAL ERROR\n Controller Folder error.")},
      {2008, QStringLiteral("FATAL ERROR\n PP_MENU.INI file format error.")},
      {2009, QStringLiteral("FATAL ERROR\n Application INI file format error.")},
      {2010, QStringLiteral("FATAL ERROR\n Controller PP_MENU.INI file not found.\nController /PP_APP folder remove.")},
      {2011, QStringLiteral("FATAL ERROR\n FTP file transfar error.")},
      {2012, QStringLiteral("FATAL ERROR\n FTP connect error.")},
      {2013, QStringLiteral("Install file not found.\nContinue to Install.")},
      {2014, QStringLiteral("FATAL ERROR\n memory error.")},
      {2015, QStringLiteral("no entry")},
      {2016, QStringLiteral("FATAL ERROR\n Controller folder create error.")},
      {2017, QStringLiteral("FATAL ERROR\n Pendant application folder was not found.")},
      {2018, QStringLiteral("FATAL ERROR\n Pendant application execute file not found.")},
      {2019, QStringLiteral("You install an old version, but are all right?\n Continue to install.")},
      {2020, QStringLiteral("FATAL ERROR\n KTP folder remove error.")},
      {2021, QStringLiteral("FATAL ERROR\n unzip.dll was not found.")},
      {2022, QStringLiteral("FATAL ERROR\n unzip version check error.")},
      {2023, QStringLiteral("The one-touch button name is too long. \nThe characters exceeding 14 will be delete. "
                            "Continue registration?")},
      {2024, QStringLiteral("FATAL ERROR\n Folder remove error in controller.")},
      {2025, QStringLiteral("FATAL ERROR\n File remove error in controller.")},
      {2026, QStringLiteral("FATAL ERROR\n CF/USB access error.")},
      // Texts of this installer's own, for what the safety of the copies adds.
      {2027, QStringLiteral("Controller PP_MENU.INI file not found.\n Restore the applications of this pendant\n "
                            "to the controller, or delete them?")},
      {2028, QStringLiteral("FATAL ERROR\n Pendant is not in line with the controller.\n Start the installer again.")},

      {3001, QStringLiteral("Delete /PP_APP Folder on QN350 Controller.")},
      {3002, QStringLiteral("The number of applications registered with exceeds 32.")},
      {3003, QStringLiteral("Memory to register a chosen application is insufficient.")},
      {3004, QStringLiteral("Initial file not found in CF/USB.")},
      {3005, QStringLiteral("Unzip file error.")},
      {3006, QStringLiteral("File remove error in Controller.")},
      {3007, QStringLiteral("Controller Folder error.")},
      {3008, QStringLiteral("PP_MENU.INI file format error.")},
      {3009, QStringLiteral("Application INI file format error.")},
      {3010, QStringLiteral("PP_MENU.INI file upload error.")},
      {3011, QStringLiteral("FTP file transfar error.")},
      {3012, QStringLiteral("FTP connect error.")},
      {3013, QStringLiteral("Install file not found.")},
      {3014, QStringLiteral("Memory error.")},
      {3015, QStringLiteral("no entry")},
      {3016, QStringLiteral("Controller folder create error.")},
      {3017, QStringLiteral("Pendant application folder was not found.")},
      {3018, QStringLiteral("Pendant application execute file not found.")},
      {3019, QStringLiteral("You install an old version, but are all right?\n Continue to install.")},
      {3020, QStringLiteral("Pendant folder remove error.")},
      {3021, QStringLiteral("unzip.dll was not found.")},
      {3022, QStringLiteral("unzip version check error.")},
      {3023, QStringLiteral("Controller PP_MENU.INI file save complete.")},
      {3024, QStringLiteral("Application is not registered.")},
      {3025, QStringLiteral("File remove error in controller.")},
      {3026, QStringLiteral("CF/USB access error.")},
      {3028, QStringLiteral("Pendant is not in line with the controller.")},

      {4001, QStringLiteral("OK")},
      {4002, QStringLiteral("Cancel")},
      {4003, QStringLiteral("YES")},
      {4004, QStringLiteral("NO")},
      // The default controller address is loopback, so that a pendant without
      // "/D" never reaches into a real network by accident.
      {4005, QStringLiteral("127.0.0.1")},
      {4006, QStringLiteral("KESTRELplums")},
      {4007, QStringLiteral("KESTRELplums")},
      {4008, QStringLiteral("\\PP_APP\\")},
      {4009, QStringLiteral("\\DiskOnChip\\")},
      {4010, QStringLiteral("\\USB Memory\\")},
      {4011, QStringLiteral("\\Storage Card\\")},
      {4012, QStringLiteral("\\DiskOnChip\\PP_APP")},
      {4013, QStringLiteral("Restore")},
      {4014, QStringLiteral("Delete")},
  };
  return table;
}

}  // namespace

QString LoadString(int id) { return Table().value(id); }
