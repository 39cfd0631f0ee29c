#pragma once
// The pendant's dialogs name the device's Japanese Gothic faces; on Linux
// every one of those names is mapped onto the proportional IPA P Gothic, so
// that the list, the alerts and the option dialog share one family and
// Japanese application names render with the same look.
#include <QFont>

namespace UiFonts {

// Face names as the dialogs ask for them.
inline constexpr char16_t kAlertFace[] = u"ＭＳゴシック";        // alert
inline constexpr char16_t kOptionListFace[] = u"ＭＳ ゴシック";   // option lists
inline constexpr char16_t kDialogFace[] = u"ＭＳ Ｐゴシック";     // dialog templates, proportional

// Registers the substitutions and makes the dialog face the application's
// font; call once after the application object exists.
void InstallSubstitutions();

// A font of one of the faces above at a point size (weight normal).
QFont Make(const char16_t *face, int pointSize);

}  // namespace UiFonts
