#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vx::test {

// A fresh folder under the system's temporary folder, removed with everything in it
// when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Writes `bytes` exactly as given (no newline translation) to `name` in the folder.
    std::filesystem::path Write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path m_path;
};

std::string ReadBytes(const std::filesystem::path& file);

// The project's source folder (for examples/) and the shared folder beside it
// (for the spreadsheet checking tools), as CTest passes them.
std::filesystem::path SourceDir();
std::filesystem::path SharedDir();

}  // namespace vx::test
