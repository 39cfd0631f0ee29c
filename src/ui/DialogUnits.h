#pragma once
// Dialog templates are measured in dialog units; the pendant shows the main
// template (364 x 293 units) as 640 x 480 pixels, which fixes the scale for
// controls that keep their template positions.
#include <QRect>
#include <cmath>

struct DialogUnits {
  double xScale;  // pixels per horizontal unit
  double yScale;  // pixels per vertical unit

  // Edges are rounded, not sizes, so adjacent controls stay adjacent.
  QRect Rect(int x, int y, int width, int height) const {
    const int left = static_cast<int>(std::lround(x * xScale));
    const int top = static_cast<int>(std::lround(y * yScale));
    const int right = static_cast<int>(std::lround((x + width) * xScale));
    const int bottom = static_cast<int>(std::lround((y + height) * yScale));
    return QRect(left, top, right - left, bottom - top);
  }
};

// The 10-point template font of the main dialog.
inline constexpr DialogUnits kMainDialogUnits{640.0 / 364.0, 480.0 / 293.0};
// Templates with a 12-point font scale by the font's size.
inline constexpr DialogUnits kLargeDialogUnits{640.0 / 364.0 * 1.2, 480.0 / 293.0 * 1.2};
