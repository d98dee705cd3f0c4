#pragma once

#include <string>
#include <string_view>

namespace vx::cli {

// A small JSON writer for the one object `info --json` prints. Text values are the
// listing's Latin-1 bytes and are written as UTF-8.
class JsonWriter {
public:
    void BeginObject() {
        Separate();
        m_out += '{';
        m_first = true;
    }
    void EndObject() {
        m_out += '}';
        m_first = false;
    }
    void BeginArray() {
        Separate();
        m_out += '[';
        m_first = true;
    }
    void EndArray() {
        m_out += ']';
        m_first = false;
    }
    void Key(std::string_view key);
    void String(std::string_view latin1);
    void Number(std::string_view literal) {
        Separate();
        m_out += literal;
    }
    void Number(long long value) { Number(std::to_string(value)); }
    void Bool(bool value) { Number(value ? "true" : "false"); }

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
