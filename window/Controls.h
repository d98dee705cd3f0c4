#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "timelists/Control.h"
#include "timelists/ListBox.h"

// The controls of the window model. Each holds only what the window's rules read and
// change; the Qt view mirrors them onto its widgets. Texts are UTF-8.
namespace vx {

class Label : public Control {
public:
    using Control::Control;
};

class Button : public Control {
public:
    using Control::Control;
};

class Frame : public Control {
public:
    using Control::Control;
};

// A text box. Every change of its text, typed or set by the program, runs OnChange;
// setting the same text again is no change.
class TextBox : public Control {
public:
    using Control::Control;

    void SetText(std::string text) override {
        if (text == Text()) return;
        Control::SetText(std::move(text));
        if (OnChange) OnChange();
    }
    // The highlighted part of the text, in characters.
    int SelStart = 0;
    int SelLength = 0;

    std::function<void()> OnChange;
};

// A drop-down list without an editable text: its text is the chosen item's. Setting
// the list position, by the user or the program, runs OnClick.
class ComboBox : public Control {
public:
    using Control::Control;

    std::int32_t ListCount() const { return static_cast<std::int32_t>(m_items.size()); }
    const std::string& List(std::int32_t index) const {
        return m_items.at(static_cast<std::size_t>(index));
    }
    const std::vector<std::string>& Items() const { return m_items; }
    void AddItem(std::string text) {
        m_items.push_back(std::move(text));
        ++m_revision;
    }
    void Clear() {
        m_items.clear();
        m_listIndex = -1;
        Control::SetText({});
        ++m_revision;
    }
    std::int32_t ListIndex() const { return m_listIndex; }
    void SetListIndex(std::int32_t index) {
        if (index < -1 || index >= ListCount()) return;
        m_listIndex = index;
        Control::SetText(index < 0 ? std::string() : m_items[static_cast<std::size_t>(index)]);
        if (OnClick) OnClick();
    }
    // Counts changes of the items, so that a view can tell when to refill itself.
    std::uint64_t Revision() const { return m_revision; }

    std::function<void()> OnClick;

private:
    void SetText(std::string) override {}  // a drop-down list takes no typed text

    std::vector<std::string> m_items;
    std::int32_t m_listIndex = -1;
    std::uint64_t m_revision = 0;
};

class OptionButton : public Control {
public:
    using Control::Control;
    bool Value = false;
};

class CheckBox : public Control {
public:
    using Control::Control;
    bool Value = false;
};

class MenuItem : public Control {
public:
    MenuItem(std::string name, std::string caption, bool separator = false)
        : Control(std::move(name)), Separator(separator) {
        SetText(std::move(caption));
    }
    const bool Separator;
};

class StatusBar : public Control {
public:
    using Control::Control;
    // Panel 1 holds the status text; panel 2 hosts the progress bar, and between operations
    // tells that the listing is still being written and when it last grew.
    std::string Panel1;
    std::string Panel2;
};

}  // namespace vx
