#include "xlsx/XlsxFile.h"

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/Failure.h"
#include "common/Text.h"

namespace vx {

namespace {

constexpr std::size_t kMaxSheetName = 31;

char LowerLatin1(char c) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
        return static_cast<char>(u + 32);
    return c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerLatin1(x) == LowerLatin1(y);
           });
}

// libxlsxwriter prints numbers with printf, which follows the locale's decimal point;
// the file needs ".". The C locale is set for this thread alone while it writes.
class CNumbers {
public:
    CNumbers() {
        static const locale_t c = ::newlocale(LC_NUMERIC_MASK, "C", nullptr);
        if (c) m_previous = ::uselocale(c);
    }
    ~CNumbers() {
        if (m_previous) ::uselocale(m_previous);
    }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    locale_t m_previous = nullptr;
};

// libxlsxwriter prints its own complaints on standard error, where the command-line
// tool promises one line per message; the failure it reports is shown instead.
class QuietStandardError {
public:
    QuietStandardError() {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~QuietStandardError() {
        std::fflush(stderr);
        if (m_saved < 0) return;
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved = -1;
};

// A failure of the file system as libxlsxwriter leaves it in errno; a zip failure
// without one is the disk's.
[[noreturn]] void RaiseSystem(int error) {
    throw FailureFromErrno(error != 0 ? error : EIO);
}

// Readers turn "_x0041_" in a text into "A"; a text that holds such a sequence keeps
// it by its underscore written as "_x005F_". NUL, which a C string cannot carry, is
// written as such a sequence too; libxlsxwriter writes the other control characters so.
std::string WorkbookText(std::string_view latin1) {
    auto isHex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    std::string text;
    text.reserve(latin1.size());
    for (std::size_t i = 0; i < latin1.size(); ++i) {
        const char c = latin1[i];
        if (c == '\0') {
            text += "_x0000_";
        } else if (c == '_' && i + 6 < latin1.size() &&
                   (latin1[i + 1] == 'x' || latin1[i + 1] == 'X') && isHex(latin1[i + 2]) &&
                   isHex(latin1[i + 3]) && isHex(latin1[i + 4]) && isHex(latin1[i + 5]) &&
                   latin1[i + 6] == '_') {
            text += "_x005F_";
        } else {
            text += c;
        }
    }
    return Latin1ToUtf8(text);
}

// A sheet's rows wait in a temporary file until the workbook is closed; closing it here
// leaves the sheet without one, which libxlsxwriter then neither reads nor closes.
void CloseRowsFile(lxw_worksheet* sheet) {
    if (sheet->optimize_tmpfile) std::fclose(sheet->optimize_tmpfile);
    sheet->optimize_tmpfile = nullptr;
    sheet->file = nullptr;
}

}  // namespace

std::string WorkbookSheetName(std::string_view latin1, const std::vector<std::string>& taken) {
    std::string base;
    for (char c : latin1) {
        const auto u = static_cast<unsigned char>(c);
        const bool refused =
            u < 0x20 || std::string_view("[]:*?/\\").find(c) != std::string_view::npos;
        base += refused ? '_' : c;
    }
    if (base.size() > kMaxSheetName) base.resize(kMaxSheetName);
    if (!base.empty() && base.front() == '\'') base.front() = '_';
    if (!base.empty() && base.back() == '\'') base.back() = '_';
    if (base.empty()) base = "Sheet";
    auto isTaken = [&](std::string_view name) {
        return std::any_of(taken.begin(), taken.end(),
                           [&](const std::string& t) { return SameName(t, name); });
    };
    std::string name = base;
    for (int n = 2; isTaken(name); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        std::string stem = base.substr(0, kMaxSheetName - suffix.size());
        if (!stem.empty() && stem.back() == '\'') stem.back() = '_';
        name = stem + suffix;
    }
    return name;
}

XlsxFile::XlsxFile() = default;

XlsxFile::~XlsxFile() {
    Abandon();
}

void XlsxFile::Abandon() noexcept {
    if (m_workbook) {
        // Freeing a workbook leaves its sheets' temporary files open (and on disk, unnamed):
        // they are closed here first.
        for (lxw_worksheet* sheet : m_sheets) CloseRowsFile(sheet);
        lxw_workbook_free(m_workbook);
    }
    m_workbook = nullptr;
    m_sheet = nullptr;
    m_sheets.clear();
    m_file.reset();
}

void XlsxFile::Create(const std::string& path, bool large) {
    Abandon();
    m_names.clear();
    m_row = m_col = 0;
    m_file = std::make_unique<FileReplacement>(path);
    const std::string target = m_file->Reopenable();
    std::string folder = m_file->Folder();
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = folder.data();
    options.use_zip64 = large ? LXW_TRUE : LXW_FALSE;
    QuietStandardError quiet;
    errno = 0;
    m_workbook = workbook_new_opt(target.c_str(), &options);
    if (!m_workbook) {
        m_file.reset();
        RaiseSystem(errno != 0 ? errno : ENOMEM);
    }
}

void XlsxFile::AddSheet(std::string_view latin1Name) {
    if (!m_workbook) Raise(fail::BadFileNameOrNumber);
    CheckRowsWritten();
    std::string name = WorkbookSheetName(latin1Name, m_names);
    QuietStandardError quiet;
    errno = 0;
    lxw_worksheet* sheet = workbook_add_worksheet(m_workbook, Latin1ToUtf8(name).c_str());
    if (!sheet) RaiseSystem(errno);
    m_names.push_back(std::move(name));
    m_sheets.push_back(sheet);
    m_sheet = sheet;
    m_row = m_col = 0;
}

void XlsxFile::Place(std::int32_t row, std::int32_t col) {
    if (!m_sheet) Raise(fail::BadFileNameOrNumber);
    if (row < 1 || col < 1 || row > kMaxRows || col > kMaxColumns) Raise(fail::Overflow);
    if (row < m_row || (row == m_row && col <= m_col)) Raise(fail::InvalidCall);
    // The row before is on its way to the temporary file: see that it got there.
    if (row != m_row) CheckRowsWritten();
    m_row = row;
    m_col = col;
}

void XlsxFile::CheckRowsWritten() {
    if (m_sheet && m_sheet->optimize_tmpfile && std::ferror(m_sheet->optimize_tmpfile))
        RaiseSystem(errno);
}

void XlsxFile::Check(int error) {
    switch (error) {
        case LXW_NO_ERROR:
            return;
        case LXW_ERROR_MEMORY_MALLOC_FAILED:
            Raise(fail::OutOfMemory);
        case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
            Raise(fail::Overflow);
        default:
            throw Failure(fail::DeviceIoError, lxw_strerror(static_cast<lxw_error>(error)));
    }
}

void XlsxFile::Text(std::int32_t row, std::int32_t col, std::string_view latin1) {
    Place(row, col);
    CNumbers numbers;
    Check(worksheet_write_string(m_sheet, static_cast<lxw_row_t>(row - 1),
                                 static_cast<lxw_col_t>(col - 1), WorkbookText(latin1).c_str(),
                                 nullptr));
}

void XlsxFile::Number(std::int32_t row, std::int32_t col, float value) {
    if (!std::isfinite(value)) Raise(fail::TypeMismatch);
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    double nearest = 0;
    std::from_chars(text, end, nearest);
    Number(row, col, nearest);
}

void XlsxFile::Number(std::int32_t row, std::int32_t col, double value) {
    if (!std::isfinite(value)) Raise(fail::TypeMismatch);
    Place(row, col);
    CNumbers numbers;
    Check(worksheet_write_number(m_sheet, static_cast<lxw_row_t>(row - 1),
                                 static_cast<lxw_col_t>(col - 1), value, nullptr));
}

void XlsxFile::Close() {
    if (!m_workbook) Raise(fail::BadFileNameOrNumber);
    if (m_sheet && m_sheet->optimize_tmpfile && std::fflush(m_sheet->optimize_tmpfile) != 0)
        RaiseSystem(errno);
    CheckRowsWritten();
    // libxlsxwriter closes a sheet's temporary file when it copies the rows into the
    // workbook, which it skips for a sheet with none: those are closed here.
    for (lxw_worksheet* sheet : m_sheets)
        if (sheet->dim_rowmin == LXW_ROW_MAX) CloseRowsFile(sheet);
    lxw_workbook* workbook = m_workbook;
    m_workbook = nullptr;
    m_sheet = nullptr;
    m_sheets.clear();
    lxw_error error;
    int systemError = 0;
    {
        QuietStandardError quiet;
        CNumbers numbers;
        errno = 0;
        error = workbook_close(workbook);
        systemError = errno;
    }
    if (error != LXW_NO_ERROR) {
        m_file.reset();
        if (error == LXW_ERROR_MEMORY_MALLOC_FAILED) Raise(fail::OutOfMemory);
        RaiseSystem(systemError);
    }
    auto file = std::move(m_file);
    file->Commit();
}

SheetLimits XlsxSheetWriter::Limits() const {
    static constexpr std::string_view kTooManyColumns =
        "The maximum number of columns in an Excel workbook is 16384. Cannot create file.";
    static constexpr std::string_view kTooManyRows =
        "The maximum number of rows in an Excel workbook is 1048576. Cannot create file.";
    return {XlsxFile::kMaxRows, XlsxFile::kMaxColumns, kTooManyRows, kTooManyColumns};
}

void XlsxSheetWriter::Create(const std::string& path) {
    m_path = path;
    m_created = false;
}

void XlsxSheetWriter::Write(const Sheet& sheet) {
    if (!m_created) {
        // Past some 40 million cells a sheet's text may pass the 4 GB a plain zip holds.
        const std::int64_t cells = std::int64_t{sheet.Rows()} * sheet.Columns();
        m_file.Create(m_path, cells > 40'000'000);
        m_created = true;
    }
    m_file.AddSheet(sheet.Name());
    WriteByRows(sheet, m_file);
}

void XlsxSheetWriter::Close() {
    m_file.Close();
}

}  // namespace vx
