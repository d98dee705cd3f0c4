#pragma once

#include <string_view>
#include <vector>

// Where each control of the window stands, in twips (1/1440 inch) relative to its
// container, with its caption and its place in the keyboard order. The model takes its
// captions from here and the view its geometry, so that both agree.
namespace vx {

enum class ControlKind {
    Label,
    TextBox,
    Button,
    ListBox,
    Frame,
    ComboBox,
    OptionButton,
    PictureBox
};

struct ControlLayout {
    std::string_view Name;  // "txtVectors" for every member of an array
    int Index;              // place in a control array, -1 for a single control
    ControlKind Kind;
    std::string_view Container;  // "" for the window itself
    std::string_view Caption;    // caption or initial text; '&' marks the access key
    int Left, Top, Width, Height;
    int TabIndex;
};

inline constexpr int kFormWidth = 8460;  // client area, twips
inline constexpr int kFormHeight = 5880;
inline constexpr int kStatusBarHeight = 300;

const std::vector<ControlLayout>& FormLayout();

// The layout of one control; nullptr for a name that is not on the window.
const ControlLayout* FindLayout(std::string_view name, int index = -1);

}  // namespace vx
