#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "timelists/Control.h"

namespace vx {

// A list box of the window model: items in insertion order (never sorted by the
// control itself), extended multi-selection, the item under the focus, and whether
// drawing is suspended around a bulk change.
class ListBox : public Control {
public:
    using Control::Control;

    std::int32_t ListCount() const { return static_cast<std::int32_t>(m_items.size()); }
    const std::string& List(std::int32_t index) const {
        return m_items.at(static_cast<std::size_t>(index));
    }
    const std::vector<std::string>& Items() const { return m_items; }

    // Appends (index -1) or inserts before `index`.
    void AddItem(std::string text, std::int32_t index = -1);
    void RemoveItem(std::int32_t index);
    void Clear();

    bool Selected(std::int32_t index) const {
        return m_selected.at(static_cast<std::size_t>(index));
    }
    void SetSelected(std::int32_t index, bool selected) {
        std::vector<bool>::reference slot = m_selected.at(static_cast<std::size_t>(index));
        if (slot != selected) ++m_selectionRevision;
        slot = selected;
    }

    // The item under the focus (-1: none).
    std::int32_t ListIndex() const { return m_listIndex; }
    void SetListIndex(std::int32_t index) { m_listIndex = index; }

    bool Redraw() const { return m_redraw; }
    void SetRedraw(bool redraw) { m_redraw = redraw; }

    // Counts changes, so that a view can tell when to refill itself.
    std::uint64_t Revision() const { return m_revision; }
    // Counts changes of the highlighting alone.
    std::uint64_t SelectionRevision() const { return m_selectionRevision; }

private:
    std::vector<std::string> m_items;
    std::vector<bool> m_selected;
    std::int32_t m_listIndex = -1;
    bool m_redraw = true;
    std::uint64_t m_revision = 0;
    std::uint64_t m_selectionRevision = 0;
};

}  // namespace vx
