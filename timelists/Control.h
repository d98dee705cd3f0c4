#pragma once

#include <string>

namespace vx {

// What every control of the window model has: a name (as the window calls it), a
// caption or text, and the enabled and visible states. The Qt view mirrors these; the
// rules of the window change only these.
class Control {
public:
    explicit Control(std::string name) : m_name(std::move(name)) {}
    virtual ~Control() = default;

    const std::string& Name() const { return m_name; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    // Caption of a label, button, frame or option; text of a text box or list.
    const std::string& Text() const { return m_text; }
    virtual void SetText(std::string text) { m_text = std::move(text); }

private:
    std::string m_name;
    std::string m_text;
    bool m_enabled = true;
    bool m_visible = true;
};

}  // namespace vx
