#include "desktop/help/Sitemap.h"

#include <cctype>
#include <cstdlib>
#include <utility>

#include "desktop/help/AsciiText.h"

namespace vx::help {

namespace {

// Named and numeric character references as they stand in attribute values. A
// reference beyond one byte becomes '?': the texts are single-byte.
std::string DecodeEntities(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", '\xA0'}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t semi = text[i] == '&' ? text.find(';', i + 1) : std::string_view::npos;
        if (semi == std::string_view::npos || semi - i > 10) {
            out += text[i];
            continue;
        }
        std::string_view name = text.substr(i + 1, semi - i - 1);
        bool decoded = false;
        if (name.size() > 1 && name[0] == '#') {
            bool hex = name[1] == 'x' || name[1] == 'X';
            std::string digits(name.substr(hex ? 2 : 1));
            char* end = nullptr;
            unsigned long code =
                digits.empty() ? 0 : std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
            if (!digits.empty() && end && *end == '\0') {
                out += code <= 0xFF ? static_cast<char>(code) : '?';
                decoded = true;
            }
        } else {
            for (const auto& [entity, c] : kNamed) {
                if (name == entity) {
                    out += c;
                    decoded = true;
                    break;
                }
            }
        }
        if (decoded)
            i = semi;
        else
            out += text[i];
    }
    return out;
}

struct Tag {
    std::string Name;  // lower case
    bool Closing = false;
    // Lower-case names, decoded values.
    std::vector<std::pair<std::string, std::string>> Attributes;

    const std::string* Attribute(std::string_view name) const {
        for (const auto& [key, value] : Attributes)
            if (key == name) return &value;
        return nullptr;
    }
};

// Walks the tags of an HTML text, skipping text, comments and declarations. Lenient:
// a tag cut off by the end of the text is taken as far as it goes.
class TagReader {
public:
    explicit TagReader(std::string_view html) : m_html(html) {}

    bool Next(Tag& tag) {
        while (true) {
            m_pos = m_html.find('<', m_pos);
            if (m_pos == std::string_view::npos) return false;
            if (m_html.substr(m_pos, 4) == "<!--") {
                std::size_t end = m_html.find("-->", m_pos + 4);
                m_pos = end == std::string_view::npos ? m_html.size() : end + 3;
                continue;
            }
            if (m_html.substr(m_pos, 2) == "<!" || m_html.substr(m_pos, 2) == "<?") {
                std::size_t end = m_html.find('>', m_pos);
                m_pos = end == std::string_view::npos ? m_html.size() : end + 1;
                continue;
            }
            std::size_t i = m_pos + 1;
            tag = Tag{};
            if (i < m_html.size() && m_html[i] == '/') {
                tag.Closing = true;
                ++i;
            }
            std::size_t nameEnd = i;
            while (nameEnd < m_html.size() &&
                   std::isalnum(static_cast<unsigned char>(m_html[nameEnd])))
                ++nameEnd;
            if (nameEnd == i) {  // a '<' that opens no tag
                m_pos = i;
                continue;
            }
            tag.Name = Lowered(m_html.substr(i, nameEnd - i));
            m_pos = ReadAttributes(nameEnd, tag);
            return true;
        }
    }

private:
    bool IsSpace(std::size_t i) const {
        return std::isspace(static_cast<unsigned char>(m_html[i])) != 0;
    }

    // Returns the position after the tag's '>'.
    std::size_t ReadAttributes(std::size_t i, Tag& tag) const {
        const std::size_t n = m_html.size();
        while (i < n) {
            while (i < n && IsSpace(i)) ++i;
            if (i >= n) break;
            if (m_html[i] == '>') return i + 1;
            if (m_html[i] == '/') {
                ++i;
                continue;
            }
            std::size_t start = i;
            while (i < n && !IsSpace(i) && m_html[i] != '=' && m_html[i] != '>' && m_html[i] != '/')
                ++i;
            std::string name = Lowered(m_html.substr(start, i - start));
            while (i < n && IsSpace(i)) ++i;
            std::string value;
            if (i < n && m_html[i] == '=') {
                ++i;
                while (i < n && IsSpace(i)) ++i;
                if (i < n && (m_html[i] == '"' || m_html[i] == '\'')) {
                    char quote = m_html[i++];
                    std::size_t end = m_html.find(quote, i);
                    if (end == std::string_view::npos) end = n;
                    value = DecodeEntities(m_html.substr(i, end - i));
                    i = end < n ? end + 1 : n;
                } else {
                    std::size_t vstart = i;
                    while (i < n && !IsSpace(i) && m_html[i] != '>') ++i;
                    value = DecodeEntities(m_html.substr(vstart, i - vstart));
                }
            }
            tag.Attributes.emplace_back(std::move(name), std::move(value));
        }
        return n;
    }

    std::string_view m_html;
    std::size_t m_pos = 0;
};

}  // namespace

std::vector<TocEntry> ParseSitemap(std::string_view html) {
    std::vector<TocEntry> root;
    // The lists being filled, innermost last. Only the innermost list grows while
    // others are open, so the pointers into parents' children stay valid.
    std::vector<std::vector<TocEntry>*> open;
    bool inSitemapObject = false;
    bool sawName = false;
    bool sawLocal = false;
    TocEntry pending;

    auto current = [&]() -> std::vector<TocEntry>& { return open.empty() ? root : *open.back(); };

    TagReader reader(html);
    Tag tag;
    while (reader.Next(tag)) {
        if (tag.Name == "ul") {
            if (tag.Closing) {
                if (!open.empty()) open.pop_back();
            } else if (open.empty()) {
                open.push_back(&root);
            } else {
                auto& list = current();
                // A list that follows no entry continues the list it stands in.
                open.push_back(list.empty() ? &list : &list.back().Children);
            }
        } else if (tag.Name == "object") {
            if (!tag.Closing) {
                const std::string* type = tag.Attribute("type");
                inSitemapObject = type && Lowered(*type) == "text/sitemap";
                pending = TocEntry{};
                sawName = sawLocal = false;
            } else if (inSitemapObject) {
                current().push_back(std::move(pending));
                pending = TocEntry{};
                inSitemapObject = false;
            }
        } else if (tag.Name == "param" && inSitemapObject && !tag.Closing) {
            const std::string* name = tag.Attribute("name");
            const std::string* value = tag.Attribute("value");
            if (!name || !value) continue;
            const std::string key = Lowered(*name);
            if (key == "name" && !sawName) {
                pending.Title = std::string(TrimBlanks(*value));
                sawName = true;
            } else if (key == "local" && !sawLocal) {
                pending.Local = std::string(TrimBlanks(*value));
                sawLocal = true;
            }
        }
    }
    return root;
}

}  // namespace vx::help
