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

#include "desktop/help/AsciiText.h"
#include "desktop/help/HelpLinks.h"

namespace vx::help {

namespace {

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

}  // namespace vx::help
