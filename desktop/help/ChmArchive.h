#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/help/Sitemap.h"

struct chmFile;

// Reading of compiled HTML help files (.chm) through chmlib, without any toolkit: the
// help window shows pages from here, and the tests check the built help file with it.
//
// Texts (titles, paths) are the single-byte strings the help file stores; the
// VoraxExtract help is ASCII.
namespace vx::help {

// A help file, or an object inside it, that cannot be read. what() reads
// "<file>: <reason>"; Reason() alone fits after "could not be opened: ".
class ChmError : public std::runtime_error {
public:
    ChmError(std::string file, std::string reason);

    const std::string& File() const noexcept { return m_file; }
    const std::string& Reason() const noexcept { return m_reason; }

private:
    std::string m_file;
    std::string m_reason;
};

// An open help file. Object paths are those of the archive: '/'-separated and
// absolute, "/index.html"; chmlib compares them without regard to case.
class ChmArchive {
public:
    // Throws ChmError when the file is missing, unreadable or not a help file.
    explicit ChmArchive(const std::string& path);
    ~ChmArchive();
    ChmArchive(ChmArchive&& other) noexcept;
    ChmArchive& operator=(ChmArchive&& other) noexcept;
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    const std::string& Path() const noexcept { return m_path; }

    bool Contains(std::string_view object) const;
    // The whole object; throws ChmError naming the object when it is absent or cannot
    // be read.
    std::string Read(std::string_view object) const;
    // Every file of the archive, in the archive's order; folders and the compiler's
    // own bookkeeping ("/#SYSTEM", "::DataSpace/...") are left out.
    std::vector<std::string> Objects() const;

    // From the help file's own header ("#SYSTEM"); empty when it does not say.
    const std::string& Title() const noexcept { return m_title; }
    // The page the help opens at: the project's default topic, else the first page of
    // the table of contents, else empty.
    std::string DefaultTopic() const;
    // The table of contents object ("/VoraxExtract.hhc"): the one the header names,
    // else the first .hhc file in the archive. Throws ChmError when there is none.
    std::string ContentsObject() const;
    // The table of contents, with every Local made an archive path. Throws ChmError
    // when the archive has none.
    std::vector<TocEntry> TableOfContents() const;

private:
    void ReadHeader();

    struct Closer {
        void operator()(chmFile* file) const noexcept;
    };

    std::string m_path;
    std::unique_ptr<chmFile, Closer> m_file;
    std::string m_title;
    std::string m_contents;      // as the header names it, made absolute
    std::string m_defaultTopic;  // likewise
};

}  // namespace vx::help
