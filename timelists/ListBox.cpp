#include "timelists/ListBox.h"

#include <stdexcept>

namespace vx {

void ListBox::AddItem(std::string text, std::int32_t index) {
    if (index < 0 || index > ListCount()) index = ListCount();
    m_items.insert(m_items.begin() + index, std::move(text));
    m_selected.insert(m_selected.begin() + index, false);
    if (m_listIndex >= index) ++m_listIndex;
    ++m_revision;
}

void ListBox::RemoveItem(std::int32_t index) {
    if (index < 0 || index >= ListCount()) throw std::out_of_range("ListBox::RemoveItem");
    m_items.erase(m_items.begin() + index);
    m_selected.erase(m_selected.begin() + index);
    if (m_listIndex >= ListCount()) m_listIndex = ListCount() - 1;
    ++m_revision;
}

void ListBox::Clear() {
    m_items.clear();
    m_selected.clear();
    m_listIndex = -1;
    ++m_revision;
}

}  // namespace vx
