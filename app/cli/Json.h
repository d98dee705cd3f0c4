#pragma once

#include <string>
#include <string_view>

#include "scripting/ListingSummary.h"

namespace vx::cli {

// A small JSON writer for the one object `info --json` prints. Text values are the
// listing's Latin-1 bytes and are written as UTF-8; a single as its shortest round-trip
// decimal.
class JsonWriter : public SummaryWriter {
public:
    void BeginObject() override {
        Separate();
        m_out += '{';
        m_first = true;
    }
    void EndObject() override {
        m_out += '}';
        m_first = false;
    }
    void BeginArray() override {
        Separate();
        m_out += '[';
        m_first = true;
    }
    void EndArray() override {
        m_out += ']';
        m_first = false;
    }
    void Key(std::string_view key) override;
    void String(std::string_view latin1) override;
    // A text that is UTF-8 already (a path as given on the command line).
    void Utf8String(std::string_view utf8);
    void Null() { Number("null"); }
    void Number(std::string_view literal) {
        Separate();
        m_out += literal;
    }
    void Integer(long long value) override { Number(std::to_string(value)); }
    void Single(float value) override;
    void Bool(bool value) override { Number(value ? "true" : "false"); }

    const std::string& Text() const { return m_out; }

private:
    void Separate() {
        if (!m_first && !m_afterKey) m_out += ',';
        m_first = false;
        m_afterKey = false;
    }
    std::string m_out;
    bool m_first = true;
    bool m_afterKey = false;
};

}  // namespace vx::cli
