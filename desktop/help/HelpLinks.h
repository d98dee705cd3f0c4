#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where a link of a help page leads inside the help file. The one resolver of links:
// the help window follows clicks and loads pictures with it, the contents and index are
// read with it, and the tests check the built help file with it.
namespace vx::help {

// The archive path and anchor that `link`, written in the page `from` (an archive path),
// points to: "b.html#x" in "/a/p.html" is "/a/b.html#x", "#x" is "/a/p.html#x", and
// "ms-its:VoraxExtract.chm::/b.html" is "/b.html". No value for links that leave the
// archive (another scheme such as http: or mailto:) or for an empty link.
std::optional<std::string> ResolveLink(std::string_view from, std::string_view link);

// "/b.html#x" split into "/b.html" and "x".
struct ObjectAndAnchor {
    std::string Object;
    std::string Anchor;
};
ObjectAndAnchor SplitAnchor(std::string_view local);

}  // namespace vx::help
