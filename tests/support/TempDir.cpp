#include "tests/support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vx::test {

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("vxtest-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; give them back their write bit first.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path TempDir::Write(std::string_view name, std::string_view bytes) const {
    auto file = m_path / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file;
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

static std::filesystem::path FromEnv(const char* name, const std::filesystem::path& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::filesystem::path(value) : fallback;
}

std::filesystem::path SourceDir() {
    return FromEnv("VX_SOURCE_DIR", VX_DEFAULT_SOURCE_DIR);
}

std::filesystem::path SharedDir() {
    return FromEnv("VX_SHARED_DIR", VX_DEFAULT_SHARED_DIR);
}

}  // namespace vx::test
