#include "desktop/help/ChmArchive.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include <chm_lib.h>

namespace vx::help {

namespace {

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && Lowered(text.substr(text.size() - tail.size())) == tail;
}

// strerror's text begins with a capital; it stands in the middle of a sentence here.
std::string SystemReason(int error) {
    std::string reason = std::strerror(error);
    if (!reason.empty())
        reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    return reason;
}

// Archive paths are absolute; a page may be named without the leading '/'.
std::string Absolute(std::string_view object) {
    if (object.empty() || object.front() == '/' || object.substr(0, 2) == "::")
        return std::string(object);
    return "/" + std::string(object);
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// ---- sitemap reading --------------------------------------------------------------

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

// ---- links ------------------------------------------------------------------------

// "http:", "mailto:", "ms-its:" ...; a single letter before the colon is a drive, not a
// scheme.
bool HasScheme(std::string_view link) {
    std::size_t colon = link.find(':');
    if (colon == std::string_view::npos || colon < 2) return false;
    if (!std::isalpha(static_cast<unsigned char>(link[0]))) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(link[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.' && c != '@') return false;
    }
    return true;
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "/a/./b/../c.html" -> "/a/c.html"; ".." above the root stays at the root.
std::string Normalized(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string out;
    for (auto part : parts) {
        out += '/';
        out += part;
    }
    if (out.empty() || (!path.empty() && path.back() == '/')) out += '/';
    return out;
}

// ---- archive ----------------------------------------------------------------------

// The #SYSTEM object: a 32-bit version, then records of a 16-bit code, a 16-bit
// length and that many bytes, all little-endian. Texts end in a NUL.
constexpr std::uint16_t kSystemContentsFile = 0;
constexpr std::uint16_t kSystemDefaultTopic = 2;
constexpr std::uint16_t kSystemTitle = 3;

std::uint16_t Word(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

std::uint64_t Quad(std::string_view bytes, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t i = 8; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The ITSF header of a help file: where the directory and the data begin.
struct ItsfHeader {
    std::uint64_t DirectoryEnd = 0;
    std::uint64_t DataOffset = 0;
};

std::optional<ItsfHeader> ReadItsfHeader(std::FILE* file) {
    char raw[0x60] = {};
    const std::size_t got = std::fread(raw, 1, sizeof raw, file);
    std::string_view bytes(raw, got);
    if (got < 0x58 || bytes.substr(0, 4) != "ITSF") return std::nullopt;
    const std::uint32_t version = Word(bytes, 4) | static_cast<std::uint32_t>(Word(bytes, 6)) << 16;
    const std::uint64_t directory = Quad(bytes, 0x48);
    const std::uint64_t directoryLength = Quad(bytes, 0x50);
    ItsfHeader header;
    header.DirectoryEnd = directory + directoryLength;
    // Before version 3 the data follow the directory.
    header.DataOffset = version >= 3 && got >= 0x60 ? Quad(bytes, 0x58) : header.DirectoryEnd;
    return header;
}

struct Extent {
    std::uint64_t DataOffset = 0;
    std::uint64_t End = 0;  // the furthest byte that an uncompressed object reaches
};

int FurthestObject(chmFile*, chmUnitInfo* info, void* context) {
    auto* extent = static_cast<Extent*>(context);
    if (info->space == CHM_UNCOMPRESSED && info->length > 0)
        extent->End =
            std::max<std::uint64_t>(extent->End, extent->DataOffset + info->start + info->length);
    return CHM_ENUMERATOR_CONTINUE;
}

int CollectObject(chmFile*, chmUnitInfo* info, void* context) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(info->path);
    return CHM_ENUMERATOR_CONTINUE;
}

const std::string* FirstPage(const std::vector<TocEntry>& entries) {
    for (const auto& entry : entries) {
        if (!entry.Local.empty()) return &entry.Local;
        if (const auto* page = FirstPage(entry.Children)) return page;
    }
    return nullptr;
}

void ResolveLocals(std::vector<TocEntry>& entries, std::string_view contents) {
    for (auto& entry : entries) {
        if (auto resolved = ResolveLink(contents, entry.Local)) entry.Local = *resolved;
        ResolveLocals(entry.Children, contents);
    }
}

}  // namespace

ChmError::ChmError(std::string file, std::string reason)
    : std::runtime_error(file + ": " + reason),
      m_file(std::move(file)),
      m_reason(std::move(reason)) {}

void ChmArchive::Closer::operator()(chmFile* file) const noexcept {
    chm_close(file);
}

ChmArchive::ChmArchive(const std::string& path) : m_path(path) {
    // chmlib says no more than "could not open"; the system tells why.
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) throw ChmError(path, SystemReason(errno));
    const std::optional<ItsfHeader> header = ReadItsfHeader(probe);
    std::fclose(probe);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) throw ChmError(path, "it is a folder");
    const std::uintmax_t size = std::filesystem::file_size(path, error);

    // chmlib reads a help file that was cut short without complaint and hands back
    // whatever the missing blocks decompress to; so the file must reach as far as its
    // directory and its objects do.
    const std::string damaged = "it is damaged: it ends before its contents do";
    if (header && !error && size < header->DirectoryEnd) throw ChmError(path, damaged);
    m_file.reset(chm_open(path.c_str()));
    if (!m_file || !header || error) throw ChmError(path, "it is not a compiled HTML help file");
    Extent extent{header->DataOffset, header->DirectoryEnd};
    chm_enumerate(m_file.get(), CHM_ENUMERATE_ALL, FurthestObject, &extent);
    if (extent.End > size) throw ChmError(path, damaged);
    ReadHeader();
}

ChmArchive::~ChmArchive() = default;
ChmArchive::ChmArchive(ChmArchive&& other) noexcept = default;
ChmArchive& ChmArchive::operator=(ChmArchive&& other) noexcept = default;

void ChmArchive::ReadHeader() {
    if (!Contains("/#SYSTEM")) return;
    const std::string system = Read("/#SYSTEM");
    std::size_t at = 4;
    while (at + 4 <= system.size()) {
        const std::uint16_t code = Word(system, at);
        const std::size_t length = Word(system, at + 2);
        at += 4;
        if (at + length > system.size()) break;
        std::string_view data(system.data() + at, length);
        std::string text(data.substr(0, data.find('\0')));
        if (code == kSystemContentsFile && !text.empty()) m_contents = Absolute(text);
        if (code == kSystemDefaultTopic && !text.empty()) m_defaultTopic = Absolute(text);
        if (code == kSystemTitle) m_title = text;
        at += length;
    }
}

bool ChmArchive::Contains(std::string_view object) const {
    chmUnitInfo info;
    const std::string path = Absolute(object);
    return !path.empty() &&
           chm_resolve_object(m_file.get(), path.c_str(), &info) == CHM_RESOLVE_SUCCESS;
}

std::string ChmArchive::Read(std::string_view object) const {
    const std::string path = Absolute(object);
    chmUnitInfo info;
    if (path.empty() ||
        chm_resolve_object(m_file.get(), path.c_str(), &info) != CHM_RESOLVE_SUCCESS)
        throw ChmError(
            m_path, "it holds no " + (path.empty() ? std::string("object without a name") : path));
    std::string bytes(static_cast<std::size_t>(info.length), '\0');
    auto* buffer = reinterpret_cast<unsigned char*>(bytes.data());
    LONGUINT64 done = 0;
    while (done < info.length) {
        LONGINT64 got = chm_retrieve_object(m_file.get(), &info, buffer + done, done,
                                            static_cast<LONGINT64>(info.length - done));
        if (got <= 0) throw ChmError(m_path, path + " is damaged and cannot be read");
        done += static_cast<LONGUINT64>(got);
    }
    return bytes;
}

std::vector<std::string> ChmArchive::Objects() const {
    std::vector<std::string> objects;
    chm_enumerate(m_file.get(), CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, CollectObject,
                  &objects);
    return objects;
}

std::string ChmArchive::ContentsObject() const {
    if (!m_contents.empty() && Contains(m_contents)) return m_contents;
    for (const auto& object : Objects())
        if (EndsWithNoCase(object, ".hhc")) return object;
    throw ChmError(m_path, "it has no table of contents");
}

std::vector<TocEntry> ChmArchive::TableOfContents() const {
    const std::string contents = ContentsObject();
    std::vector<TocEntry> entries = ParseSitemap(Read(contents));
    ResolveLocals(entries, contents);
    return entries;
}

std::string ChmArchive::DefaultTopic() const {
    if (!m_defaultTopic.empty() && Contains(SplitAnchor(m_defaultTopic).Object))
        return m_defaultTopic;
    try {
        const auto entries = TableOfContents();
        if (const auto* page = FirstPage(entries)) return *page;
    } catch (const ChmError&) {
        // No contents either: nothing to open at.
    }
    return {};
}

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

std::optional<std::string> ResolveLink(std::string_view from, std::string_view link) {
    link = TrimBlanks(link);
    if (link.empty()) return std::nullopt;
    if (HasScheme(link)) {
        // ms-its:File.chm::/page.html and mk:@MSITStore:File.chm::/page.html name a page
        // of a help file; the help links only into itself.
        std::size_t inside = link.find("::");
        if (inside == std::string_view::npos) return std::nullopt;
        link = link.substr(inside + 2);
    }
    std::string text(link);
    for (char& c : text)
        if (c == '\\') c = '/';  // projects made on Windows may write "images\a.png"
    const std::size_t hash = text.find('#');
    std::string anchor = hash == std::string::npos ? std::string() : text.substr(hash);
    std::string path = PercentDecoded(text.substr(0, std::min(hash, text.find('?'))));

    std::string page = SplitAnchor(from).Object;
    std::string target;
    if (path.empty())
        target = page;
    else if (path.front() == '/')
        target = path;
    else
        target = page.substr(0, page.rfind('/') + 1) + path;
    if (target.empty() || target.front() != '/') target.insert(0, "/");
    return Normalized(target) + anchor;
}

ObjectAndAnchor SplitAnchor(std::string_view local) {
    const std::size_t hash = local.find('#');
    if (hash == std::string_view::npos) return {std::string(local), {}};
    return {std::string(local.substr(0, hash)), std::string(local.substr(hash + 1))};
}

}  // namespace vx::help
