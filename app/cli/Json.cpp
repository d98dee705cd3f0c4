#include "app/cli/Json.h"

#include <cstdio>

#include "app/cli/ConsoleServices.h"
#include "reader/TextRoutines.h"

namespace vx::cli {

void JsonWriter::Key(std::string_view key) {
    String(key);
    m_out += ':';
    m_afterKey = true;
}

void JsonWriter::Single(float value) {
    Number(ShortestText(value));
}

void JsonWriter::String(std::string_view latin1) {
    Utf8String(Latin1ToUtf8(latin1));
}

void JsonWriter::Utf8String(std::string_view utf8) {
    Separate();
    m_out += '"';
    for (char c : utf8) {
        switch (c) {
            case '"':
                m_out += "\\\"";
                break;
            case '\\':
                m_out += "\\\\";
                break;
            case '\n':
                m_out += "\\n";
                break;
            case '\r':
                m_out += "\\r";
                break;
            case '\t':
                m_out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                    m_out += buf;
                } else {
                    m_out += c;
                }
        }
    }
    m_out += '"';
}

}  // namespace vx::cli
