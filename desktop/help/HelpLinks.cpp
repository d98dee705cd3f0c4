#include "desktop/help/HelpLinks.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "desktop/help/AsciiText.h"

namespace vx::help {

namespace {

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

}  // namespace

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
    const std::size_t hash = link.find('#');
    std::string anchor(hash == std::string_view::npos ? std::string_view() : link.substr(hash));
    std::string path = PercentDecoded(link.substr(0, std::min(hash, link.find('?'))));
    // Projects made on Windows may write "images\a.png"; a viewer hands it over encoded.
    std::replace(path.begin(), path.end(), '\\', '/');

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
