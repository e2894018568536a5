// The main window's fixed layout and the private folder's name (kPrivateFolderName, from
// shell/core/facts.cmake): facts both backends build from.
#ifndef PLQ_SHELL_CORE_LAYOUT_H_
#define PLQ_SHELL_CORE_LAYOUT_H_

#include "shell/core/facts.h"

namespace plq {

// The two browser panes of the main window.
enum class Pane { kWebBrowser1 = 1, kWebBrowser2 = 2 };

// The area below the menu bar, in pixels at 96 DPI (scale 1).
inline constexpr int kClientWidth = 735;
inline constexpr int kClientHeight = 496;

// A pane's place in that area. The left pane is 23 pixels taller than the area and the right one
// starts one pixel inside the left one and runs 26 pixels past the area's right edge: the window
// cuts both off, and nothing moves when the window is resized.
struct PanePlace {
  Pane pane;
  const char* name;
  int x, y, width, height;
};
inline constexpr PanePlace kWebBrowser1Place = {Pane::kWebBrowser1, "WebBrowser1", 0, 0, 553, 519};
inline constexpr PanePlace kWebBrowser2Place = {
    Pane::kWebBrowser2, "WebBrowser2", 552, 0, 209, 497};
inline constexpr PanePlace kPanePlaces[] = {kWebBrowser1Place, kWebBrowser2Place};

// The screen's density at which the sizes above hold, in dots per inch.
inline constexpr int kBaseDpi = 96;

// `pixels` at 96 DPI as many pixels at `dpi`, rounded to the nearest, halves away from zero (as
// Windows' MulDiv rounds): 735 at 144 DPI is 1103. Each of a place's four numbers is scaled on
// its own, so the layout at 96 DPI stays exactly as it is.
constexpr int ScaleToDpi(int pixels, int dpi) {
  const long long product = static_cast<long long>(pixels) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / kBaseDpi
                                       : -((-product + half) / kBaseDpi));
}

// The place scaled to `dpi`.
constexpr PanePlace ScaledPlace(const PanePlace& place, int dpi) {
  return {place.pane,
          place.name,
          ScaleToDpi(place.x, dpi),
          ScaleToDpi(place.y, dpi),
          ScaleToDpi(place.width, dpi),
          ScaleToDpi(place.height, dpi)};
}

}  // namespace plq

#endif  // PLQ_SHELL_CORE_LAYOUT_H_
