#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "biff/ExcelFile.h"
#include "common/Failure.h"
#include "tests/support/Failures.h"
#include "tests/support/TempDir.h"

namespace vx::test {

// "04 00 0C" -> the three bytes.
inline std::string Hex(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3)
        out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    return out;
}

inline const std::string kEmptySheet = Hex("09 00 04 00 02 00 0A 00 0A 00 00 00");

// What `body` writes between the BOF and the EOF of a new file.
inline std::string RecordsWrittenBy(const std::function<void(ExcelFile&)>& body) {
    TempDir dir;
    {
        ExcelFile f;
        EXPECT_TRUE(f.CreateFile(dir.Path() / "out.xls"));
        body(f);
        EXPECT_TRUE(f.CloseFile());
    }
    const std::string bytes = ReadBytes(dir.Path() / "out.xls");
    EXPECT_EQ(bytes.substr(0, 8) + bytes.substr(bytes.size() - 4), kEmptySheet);
    return bytes.substr(8, bytes.size() - 12);
}

}  // namespace vx::test
