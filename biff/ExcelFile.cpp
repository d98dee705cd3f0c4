#include "biff/ExcelFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/Failure.h"
#include "common/ScanDecimal.h"
#include "sheet/FileReplacement.h"

namespace vx {

namespace {

// Large enough that a full sheet of cells costs a few hundred writes, and larger than
// the longest record (FILEPASS, 4 + 32767 bytes), so a record never straddles a flush.
constexpr std::size_t kBufferSize = 64 * 1024;

constexpr std::uint16_t kRecInteger = 0x0002;
constexpr std::uint16_t kRecNumber = 0x0003;
constexpr std::uint16_t kRecLabel = 0x0004;
constexpr std::uint16_t kRecProtect = 0x0012;
constexpr std::uint16_t kRecHeader = 0x0014;
constexpr std::uint16_t kRecFooter = 0x0015;
constexpr std::uint16_t kRecColWidth = 0x0024;
constexpr std::uint16_t kRecPrintGridLines = 0x002B;
constexpr std::uint16_t kRecFilePass = 0x002F;
constexpr std::uint16_t kRecFont = 0x0031;

// Document type 0x000A, not the usual worksheet type 0x0010: every file this program
// has ever written carries this image, and Excel, LibreOffice and SheetJS read it.
constexpr std::uint8_t kBof[] = {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x0A, 0x00};
constexpr std::uint8_t kEof[] = {0x0A, 0x00, 0x00, 0x00};

// Sign, 309 integer digits of the largest double, point, six decimals.
constexpr std::size_t kFixedTextSize = 320;

// Fields are little-endian; on a little-endian machine they are stored as they are.
std::uint8_t* Put16(std::uint8_t* at, std::uint16_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(at, &value, 2);
    } else {
        at[0] = static_cast<std::uint8_t>(value & 0xFF);
        at[1] = static_cast<std::uint8_t>(value >> 8);
    }
    return at + 2;
}

std::uint8_t* PutDouble(std::uint8_t* at, double value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(at, &value, 8);
    } else {
        auto bits = std::bit_cast<std::uint64_t>(value);
        for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    return at + 8;
}

std::uint8_t* PutHeader(std::uint8_t* at, std::uint16_t record, std::size_t bodyLength) {
    return Put16(Put16(at, record), static_cast<std::uint16_t>(bodyLength));
}

std::uint8_t ToByte(std::int32_t value) {
    if (value < 0 || value > 255) Raise(fail::Overflow);
    return static_cast<std::uint8_t>(value);
}

// 1-based row or column to its field: less one, modulo 65536. Beyond one half-range on
// either side of the field the value is refused rather than silently folded.
std::uint16_t ToCellIndex(std::int32_t value) {
    if (value < -32767 || value > 65536 + 32767) Raise(fail::Overflow);
    return static_cast<std::uint16_t>(value - 1);
}

struct CellAttributes {
    std::uint8_t hiddenLocked, cellFontUsed, alignment;
};

std::uint8_t* PutCellHeader(std::uint8_t* at, std::uint16_t record, std::size_t bodyLength,
                            std::uint16_t row, std::uint16_t col, const CellAttributes& attrs) {
    at = Put16(Put16(PutHeader(at, record, bodyLength), row), col);
    at[0] = attrs.hiddenLocked;
    at[1] = attrs.cellFontUsed;
    at[2] = attrs.alignment;
    return at + 3;
}

// A numeric text ("  -1.5e3 ") as a double; anything else is a type mismatch. A value
// too large for a double overflows; one too small for it becomes zero.
double ParseNumericText(std::string_view text) {
    const DecimalResult number = ScanDecimal<DecimalSyntax{.WholeText = true}>(text);
    if (number.Error == DecimalError::TooLarge) Raise(fail::Overflow);
    if (number.Error != DecimalError::None) Raise(fail::TypeMismatch);
    return number.Value;
}

double ToDouble(const CellValue& value) {
    return value.IsText() ? ParseNumericText(value.Text()) : value.Number();
}

double RoundHalfToEven(double value) {
    const double whole = std::trunc(value);
    // value - whole is exact (the two are within a factor of two), so halves are seen exactly.
    if (std::fabs(value - whole) != 0.5) return std::round(value);
    return std::fmod(whole, 2.0) == 0.0 ? whole : whole + (value > 0.0 ? 1.0 : -1.0);
}

std::int16_t ToInteger(const CellValue& value) {
    const double number = ToDouble(value);
    if (!std::isfinite(number)) Raise(fail::Overflow);
    const double rounded = RoundHalfToEven(number);
    if (rounded < -32768.0 || rounded > 32767.0) Raise(fail::Overflow);
    return static_cast<std::int16_t>(rounded);
}

// A number shown as text: at most 15 significant digits, exponent form for very large
// or small magnitudes ("1.5", "1E+20", "4E-07"), the same in every locale.
std::string_view NumberText(double number, char (&text)[32]) {
    if (number == 0.0) number = 0.0;  // no "-0"
    auto [end, ec] =
        std::to_chars(text, text + sizeof text, number, std::chars_format::general, 15);
    for (char* c = text; c != end; ++c)
        if (*c == 'e') *c = 'E';
    return std::string_view(text, static_cast<std::size_t>(end - text));
}

std::uint16_t ToRecordNumber(std::int32_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        Raise(fail::Overflow);
    return static_cast<std::uint16_t>(value);
}

void RemoveExisting(const std::filesystem::path& file) {
    const char* path = file.c_str();
    struct stat entry;
    if (::lstat(path, &entry) != 0) return;  // nothing there, or open() will tell why
    struct stat target;
    if (::stat(path, &target) == 0) {
        // A folder is left for open() to refuse; a device or pipe is never deleted.
        if (S_ISDIR(target.st_mode)) return;
        if (!S_ISREG(target.st_mode)) Raise(fail::PathFileAccessError);
        if (IsHeldByAnother(path)) Raise(fail::PermissionDenied);
    }
    if (::unlink(path) != 0 && errno != ENOENT) throw FailureFromErrno(errno);
}

// RoundToSixDecimals without text, where that is exact: for a double m * 2^e whose m
// (without trailing zero bits) is short, as every single's is, value * 10^6 is
// m * 5^6 * 2^(e + 6) exactly; rounding that to an integer D, halves to even as the
// six-decimal text does, and dividing D by 10^6 (both exact, one rounding) gives the
// double nearest to D / 10^6, which is what reading the text back gives. False when the
// value is outside this path (long mantissas, or D beyond 2^53).
inline bool MillionthsExactly(double value, double& result) {
    constexpr int kMantissaBits = 52;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const auto biased = static_cast<int>((bits >> kMantissaBits) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << kMantissaBits) - 1);
    if (biased == 0x7FF) return false;
    if (biased == 0 && mantissa == 0) {
        result = value;  // zero keeps its sign, as "-0.000000" does
        return true;
    }
    int exponent = biased == 0 ? 1 - 1075 : biased - 1075;
    if (biased != 0) mantissa |= std::uint64_t{1} << kMantissaBits;
    const int zeros = std::countr_zero(mantissa);
    mantissa >>= zeros;
    exponent += zeros;
    if (mantissa >= (std::uint64_t{1} << 40)) return false;
    const std::uint64_t scaled = mantissa * 15625;  // m * 5^6, below 2^54
    const int shift = exponent + 6;
    std::uint64_t millionths = 0;
    if (shift >= 0) {
        if (shift >= 53 || scaled > (((std::uint64_t{1} << 53) - 1) >> shift)) return false;
        millionths = scaled << shift;
    } else if (-shift < 64) {
        const int k = -shift;
        millionths = scaled >> k;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << k) - 1);
        const std::uint64_t half = std::uint64_t{1} << (k - 1);
        if (rest > half || (rest == half && (millionths & 1) != 0)) ++millionths;
    }  // else: below half a millionth, so 0
    const double magnitude = static_cast<double>(millionths) / 1e6;
    result = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

double RoundToSixDecimals(double value) {
    if (!std::isfinite(value)) return value;
    double result = 0.0;
    if (MillionthsExactly(value, result)) return result;
    char text[kFixedTextSize];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    std::from_chars(text, end, result, std::chars_format::fixed);
    return result;
}

ExcelFile::ExcelFile() = default;

ExcelFile::~ExcelFile() {
    if (m_fd < 0) return;
    try {
        Complete();
    } catch (...) {
        // A destructor has no one to tell; Complete() has closed the file whatever happened.
    }
}

bool ExcelFile::CreateFile(const std::filesystem::path& FileName) {
    if (m_fd >= 0) Complete();
    const std::string& name = FileName.native();
    if (name.empty() || name.find('\0') != std::string::npos) Raise(fail::BadFileNameOrNumber);
    if (!m_buffer) m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    RemoveExisting(FileName);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) throw FailureFromErrno(errno);
    m_fd = fd;
    m_used = 0;
    std::memcpy(Append(sizeof kBof), kBof, sizeof kBof);
    return true;
}

bool ExcelFile::CloseFile() {
    if (m_fd < 0) Raise(fail::BadFileNameOrNumber);
    Complete();
    return true;
}

void ExcelFile::Complete() {
    try {
        std::memcpy(Append(sizeof kEof), kEof, sizeof kEof);
        Flush();
    } catch (...) {
        ::close(m_fd);
        m_fd = -1;
        m_used = 0;
        throw;
    }
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close() fails, so it is never retried.
    if (::close(fd) != 0) throw FailureFromErrno(errno);
}

std::uint8_t* ExcelFile::Append(std::size_t bytes) {
    if (m_fd < 0) Raise(fail::BadFileNameOrNumber);
    if (m_used + bytes > kBufferSize) Flush();
    std::uint8_t* at = m_buffer.get() + m_used;
    m_used += bytes;
    return at;
}

void ExcelFile::Flush() {
    std::size_t done = 0;
    while (done < m_used) {
        const ssize_t n = ::write(m_fd, m_buffer.get() + done, m_used - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            // The block is lost either way; keeping it would only fail again on every call.
            m_used = 0;
            throw FailureFromErrno(error);
        }
        done += static_cast<std::size_t>(n);
    }
    m_used = 0;
}

void ExcelFile::WriteString(std::uint8_t* at, std::string_view text) {
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
}

bool ExcelFile::WriteValue(std::int32_t ValueType, std::int32_t CellFontUsed,
                           std::int32_t Alignment, std::int32_t HiddenLocked, std::int32_t lRow,
                           std::int32_t lCol, const CellValue& vValue) {
    const std::uint16_t row = ToCellIndex(lRow);
    const std::uint16_t col = ToCellIndex(lCol);
    auto attributes = [&] {
        return CellAttributes{ToByte(HiddenLocked), ToByte(CellFontUsed), ToByte(Alignment)};
    };
    switch (ValueType) {
        case 0: {
            const std::int16_t value = ToInteger(vValue);
            const CellAttributes attrs = attributes();
            std::uint8_t* at = PutCellHeader(Append(13), kRecInteger, 9, row, col, attrs);
            Put16(at, static_cast<std::uint16_t>(value));
            break;
        }
        case 1: {
            const CellAttributes attrs = attributes();
            const double number = ToDouble(vValue);
            // Infinity and NaN have no six-decimal text to read back as a number.
            if (!std::isfinite(number)) Raise(fail::TypeMismatch);
            double stored = 0.0;
            if (!MillionthsExactly(number, stored)) stored = RoundToSixDecimals(number);
            PutDouble(PutCellHeader(Append(19), kRecNumber, 15, row, col, attrs), stored);
            break;
        }
        case 2: {
            char numberText[32];
            const std::string_view text = vValue.IsText() ? std::string_view(vValue.Text())
                                                          : NumberText(vValue.Number(), numberText);
            if (text.size() > 255) Raise(fail::Overflow);
            const CellAttributes attrs = attributes();
            std::uint8_t* at = PutCellHeader(Append(12 + text.size()), kRecLabel, 8 + text.size(),
                                             row, col, attrs);
            *at++ = static_cast<std::uint8_t>(text.size());
            WriteString(at, text);
            break;
        }
        default:
            break;
    }
    return true;
}

bool ExcelFile::SetMargin(std::int32_t Margin, double MarginValue) {
    const std::uint16_t record = ToRecordNumber(Margin);
    PutDouble(PutHeader(Append(12), record, 8), MarginValue);
    return true;
}

bool ExcelFile::SetColumnWidth(std::uint8_t FirstColumn, std::uint8_t LastColumn,
                               std::int16_t WidthValue) {
    if (FirstColumn == 0 || LastColumn == 0) Raise(fail::Overflow);
    if (WidthValue < -128 || WidthValue > 127) Raise(fail::Overflow);
    std::uint8_t* at = PutHeader(Append(8), kRecColWidth, 4);
    at[0] = static_cast<std::uint8_t>(FirstColumn - 1);
    at[1] = static_cast<std::uint8_t>(LastColumn - 1);
    Put16(at + 2, static_cast<std::uint16_t>(WidthValue * 256));
    return true;
}

bool ExcelFile::SetFont(std::string_view FontName, std::int16_t FontHeight,
                        std::int32_t FontFormat) {
    if (FontName.size() > 255) Raise(fail::Overflow);
    if (FontHeight < -1638 || FontHeight > 1638) Raise(fail::Overflow);
    const std::uint8_t flags = ToByte(FontFormat);
    std::uint8_t* at = PutHeader(Append(9 + FontName.size()), kRecFont, 5 + FontName.size());
    at = Put16(at, static_cast<std::uint16_t>(FontHeight * 20));
    at[0] = flags;
    at[1] = 0;
    at[2] = static_cast<std::uint8_t>(FontName.size());
    WriteString(at + 3, FontName);
    return true;
}

bool ExcelFile::WriteTextRecord(std::uint16_t record, std::string_view text) {
    if (text.size() > 255) Raise(fail::Overflow);
    std::uint8_t* at = PutHeader(Append(5 + text.size()), record, 1 + text.size());
    at[0] = static_cast<std::uint8_t>(text.size());
    WriteString(at + 1, text);
    return true;
}

bool ExcelFile::SetHeader(std::string_view HeaderText) {
    return WriteTextRecord(kRecHeader, HeaderText);
}

bool ExcelFile::SetFooter(std::string_view FooterText) {
    return WriteTextRecord(kRecFooter, FooterText);
}

bool ExcelFile::SetFilePassword(std::string_view PasswordText) {
    if (PasswordText.size() > 32767) Raise(fail::Overflow);
    WriteString(PutHeader(Append(4 + PasswordText.size()), kRecFilePass, PasswordText.size()),
                PasswordText);
    return true;
}

void ExcelFile::WriteFlagRecord(std::uint16_t record, bool value) {
    Put16(PutHeader(Append(6), record, 2), value ? 1 : 0);
}

void ExcelFile::PrintGridLines(bool newValue) {
    WriteFlagRecord(kRecPrintGridLines, newValue);
}

void ExcelFile::ProtectSpreadsheet(bool newValue) {
    WriteFlagRecord(kRecProtect, newValue);
}

}  // namespace vx
