#pragma once
// The places every suite talks about: CE paths on the device, controller
// paths on the simulator.
#include <QString>

inline const QString kPendant = QStringLiteral("\\DiskOnChip\\PP_APP");
inline const QString kPendantMenu = QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI");
inline const QString kMediumRoot = QStringLiteral("\\Storage Card\\");
inline const QString kMedium = QStringLiteral("\\Storage Card\\PP_APP");
inline const QString kController = QStringLiteral("\\PP_APP");
inline const QString kControllerMenu = QStringLiteral("\\PP_APP\\PP_MENU.INI");
