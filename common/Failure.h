#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "common/Outcome.h"

namespace vx {

// The one runtime numbering of failures. Readers, the writer and the extraction
// all speak it, so a message can show "Read File Error 62: Input past end of file"
// whichever layer the failure came from.
namespace fail {
inline constexpr int InvalidCall = 5;  // invalid procedure call or argument
inline constexpr int Overflow = 6;     // a value does not fit its field
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9;   // a missing word, a row outside a table
inline constexpr int TypeMismatch = 13;         // text where a number was required
inline constexpr int BadFileNameOrNumber = 52;  // no open file, or an unusable name
inline constexpr int FileNotFound = 53;
inline constexpr int DeviceIoError = 57;
inline constexpr int DiskFull = 61;
inline constexpr int InputPastEndOfFile = 62;
inline constexpr int TooManyFiles = 67;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;  // a folder, a device, a read-only place
inline constexpr int PathNotFound = 76;
}  // namespace fail

// The standard description of a failure number ("Overflow", "File not found", ...).
std::string_view DescribeFailure(int number);

// "N: description", the text of the message that extraction failures show.
std::string FailureText(int number, std::string_view description);

// A failure travelling up to the routine that reports it. Carries the number and
// the description that the message box shows, and the kind when the failure itself
// tells it (the system says a file is missing or may not be opened); otherwise the
// routine that reports it decides by what it was doing.
class Failure : public std::exception {
public:
    explicit Failure(int number);
    Failure(int number, std::string description);
    Failure(int number, FailureKind kind);

    int Number() const noexcept { return m_number; }
    const std::string& Description() const noexcept { return m_description; }
    const std::optional<FailureKind>& Kind() const noexcept { return m_kind; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    int m_number;
    std::string m_description;
    std::optional<FailureKind> m_kind;
};

[[noreturn]] void Raise(int number);

// Maps an errno value from the file system onto the numbering above; errors with
// no better match keep the system's own text under Device I/O error.
Failure FailureFromErrno(int errnoValue);

// The kind of a failure that ended the reading of a listing: the failure's own, an
// overflow, `pastEnd` for reading past the end (a scan ran out of listing, an extraction
// found no block), anything else ReadFailed.
FailureKind ReadingFailureKind(const Failure& failure, FailureKind pastEnd);
// The kind of a failure while a sheet is written: another program holding the file
// (permission denied), the failure's own, anything else WriteFailed.
FailureKind WritingFailureKind(const Failure& failure);

}  // namespace vx
