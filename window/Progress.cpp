#include "window/Progress.h"

#include <cmath>

#include "reader/TextRoutines.h"

namespace vx {

int ProgressFigure(float sngPercent) {
    // The product is a single-precision number, as the fraction is.
    float scaled = sngPercent * 100.0f;
    double n = std::floor(static_cast<double>(scaled) + 0.5);
    if (!(n < 32767.0)) n = 32767.0;  // also NaN: the figure is a 16-bit number
    if (n < -32768.0) n = -32768.0;
    int figure = static_cast<int>(n);
    if (figure == 0) return 1;
    if (figure == 100) return 99;
    return figure;
}

std::string ProgressText(float sngPercent) {
    return std::to_string(ProgressFigure(sngPercent)) + "%";
}

ProgressPicture LayoutProgress(float sngPercent, Extent surface, Extent textSize) {
    ProgressPicture p;
    p.Figure = ProgressFigure(sngPercent);
    p.Text = std::to_string(p.Figure) + "%";
    p.Surface = surface;
    p.TextWidth = RoundToInt32(textSize.Width);
    p.TextHeight = RoundToInt32(textSize.Height);
    p.TextX = RoundToInt32(surface.Width / 2 - p.TextWidth / 2.0);
    p.TextY = RoundToInt32(surface.Height / 2 - p.TextHeight / 2.0);
    p.BarFilled = sngPercent > 0;
    p.BarWidth = p.BarFilled ? surface.Width * static_cast<double>(sngPercent) : surface.Width;
    return p;
}

std::optional<TwipRect> ProgressPlacement(int panel2Left, int innerWidth) {
    TwipRect r{panel2Left + 60, 60, innerWidth - panel2Left - 135, 195};
    if (r.Width < 0) return std::nullopt;
    return r;
}

ScreenPoint CentredBoxPosition(const ScreenRect& owner, const ScreenRect& box) {
    double x = owner.Left + (owner.Right - owner.Left) / 2.0 - (box.Right - box.Left) / 2.0;
    double y = owner.Top + (owner.Bottom - owner.Top) / 2.0 - (box.Bottom - box.Top) / 2.0;
    return {RoundToInt32(x), RoundToInt32(y)};
}

}  // namespace vx
