#pragma once

#include <string>
#include <string_view>
#include <vector>

// The contents (.hhc) and index (.hhk) files of a help project, read without any toolkit.
namespace vx::help {

// One entry of a table of contents or of a keyword index: its title, what it shows
// and the entries under it. Local is the object path inside the archive with an
// optional anchor ("/saving.html#limits"); empty for a heading that shows nothing.
struct TocEntry {
    std::string Title;
    std::string Local;
    std::vector<TocEntry> Children;
};

// Parses the sitemap HTML of .hhc (contents) and .hhk (index) files: every
// <OBJECT type="text/sitemap"> is one entry, taking its first "Name" and first "Local"
// parameter; <UL> nests the entries that follow under the entry before it. Tags and
// attribute names are read without regard to case, entities in values are decoded;
// anything else (text, comments, other objects) is skipped. Local stays as written.
std::vector<TocEntry> ParseSitemap(std::string_view html);

}  // namespace vx::help
