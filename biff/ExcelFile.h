#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace vx {

// The value of one cell as the caller has it: a number or a byte string. Texts are
// single-byte (cp1252) already and are stored byte for byte.
class CellValue {
public:
    template <typename T>
    requires(std::is_arithmetic_v<T> && !std::same_as<T, bool>) CellValue(T number)
        : m_number(static_cast<double>(number)) {}
    CellValue(std::string text) : m_text(std::move(text)), m_isText(true) {}
    CellValue(std::string_view text) : m_text(text), m_isText(true) {}
    CellValue(const char* text) : m_text(text), m_isText(true) {}

    bool IsText() const { return m_isText; }
    double Number() const { return m_number; }
    const std::string& Text() const { return m_text; }

private:
    double m_number = 0.0;
    std::string m_text;
    bool m_isText = false;
};

// The double that a NUMBER cell stores for `value`: the value written with exactly six
// decimals and read back. Locale-independent. Non-finite values come back unchanged.
double RoundToSixDecimals(double value);

// Writes one BIFF2 (Excel 2.x) worksheet file record by record, each call appending its
// record(s) at the end in call order; nothing is sorted, checked against the sheet's
// limits or rewritten.
//
// Every operation returns true when its record was written and throws vx::Failure on any
// failure: 6 a value that does not fit its field, 13 a cell value that is no number,
// 52 no open file, 70 the existing file is held by another program (locked), and the
// file system's own failures. Every value is converted before the first byte of a record
// is produced, so a call that fails on a value leaves the file as it was.
//
// Records are collected in memory and reach the file in large blocks; a write failure
// is thrown by the call during which the block is written, and CloseFile reports the
// last one. Destroying a writer with an open file completes it as CloseFile does,
// without reporting failures.
class ExcelFile {
public:
    ExcelFile();
    ~ExcelFile();
    ExcelFile(const ExcelFile&) = delete;
    ExcelFile& operator=(const ExcelFile&) = delete;

    // Replaces any file of that name by a new one that starts with the BOF record. A
    // file still open in this writer is completed first, as CloseFile does.
    bool CreateFile(const std::filesystem::path& FileName);
    // Writes the EOF record and closes the file.
    bool CloseFile();

    // ValueType 0 INTEGER (rounded half to even), 1 NUMBER (at six decimals), 2 LABEL;
    // any other type writes nothing. A text given for a number must read as one
    // ("  -1.5e3 "); a number given for a text is shown with up to 15 significant
    // digits ("1.5", "1E+20"). Rows and columns are 1-based and stored less one
    // modulo 65536 (-32767 .. 98303 accepted).
    bool WriteValue(std::int32_t ValueType, std::int32_t CellFontUsed, std::int32_t Alignment,
                    std::int32_t HiddenLocked, std::int32_t lRow, std::int32_t lCol,
                    const CellValue& vValue);

    // Margin is the record number itself (0x26 left, 0x27 right, 0x28 top, 0x29 bottom).
    bool SetMargin(std::int32_t Margin, double MarginValue);
    // Columns are 1-based; WidthValue is in characters.
    bool SetColumnWidth(std::uint8_t FirstColumn, std::uint8_t LastColumn, std::int16_t WidthValue);
    // FontHeight in points; FontFormat bit 0 bold, 1 italic, 2 underline, 3 strike-out.
    bool SetFont(std::string_view FontName, std::int16_t FontHeight, std::int32_t FontFormat);
    bool SetHeader(std::string_view HeaderText);
    bool SetFooter(std::string_view FooterText);
    // Stores the text as it stands; nothing is enciphered.
    bool SetFilePassword(std::string_view PasswordText);
    void PrintGridLines(bool newValue);
    void ProtectSpreadsheet(bool newValue);

private:
    // Reserves room for one whole record in the buffer and returns where it goes;
    // fails with 52 when no file is open.
    std::uint8_t* Append(std::size_t bytes);
    void Flush();
    void WriteString(std::uint8_t* at, std::string_view text);
    void Complete();
    bool WriteTextRecord(std::uint16_t record, std::string_view text);
    void WriteFlagRecord(std::uint16_t record, bool value);

    int m_fd = -1;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_used = 0;
};

}  // namespace vx
