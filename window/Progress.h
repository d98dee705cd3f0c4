#pragma once

#include <optional>
#include <string>

#include "window/Platform.h"

// The progress indicator as data: what one report paints, and where the bar sits in
// the status bar. The view only paints what these say.
namespace vx {

// One picture of the progress surface. Painting it: clear the surface to the back
// colour; fill the text rectangle with the back colour and draw Text at (TextX, TextY)
// in the fore colour; then, drawing not-xor (each pixel becomes NOT(old XOR colour)),
// fill (0, 0)-(BarWidth, surface height) with the fore colour when BarFilled, or the
// whole surface with the back colour when it is not. The figure thus stays readable
// as the bar passes under it.
struct ProgressPicture {
    int Figure = 1;    // never 0 or 100: 1 to 99, or as it is above 100
    std::string Text;  // the figure and "%"
    int TextX = 0, TextY = 0, TextWidth = 0, TextHeight = 0;
    Extent Surface;
    bool BarFilled = false;
    double BarWidth = 0;  // surface width times the fraction (may exceed the surface)
};

// The figure of a fraction: the nearest whole percent, halves up.
int ProgressFigure(float sngPercent);
std::string ProgressText(float sngPercent);

// Lays out one picture for a surface and the measured size of its text.
ProgressPicture LayoutProgress(float sngPercent, Extent surface, Extent textSize);

// The place of the progress bar in the status bar, in twips, from the left edge of the
// second panel and the inner width of the window. None when it does not fit (a very
// narrow window): the bar then stays where it was.
struct TwipRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
};
std::optional<TwipRect> ProgressPlacement(int panel2Left, int innerWidth);

// Where a message box goes so that it stands centred on its owner window: the
// top-left corner, rounded to whole units (halves to even).
struct ScreenRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
};
struct ScreenPoint {
    int X = 0, Y = 0;
};
ScreenPoint CentredBoxPosition(const ScreenRect& owner, const ScreenRect& box);

}  // namespace vx
