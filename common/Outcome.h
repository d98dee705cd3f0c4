#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What an operation of the core tells whoever called it: every failure it reported, as a
// value. The window shows each as a message box, the command-line tool prints it and
// chooses its exit status, the Python module raises it; each door decides by the kind,
// never by the text, which is for people.
namespace vx {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };

// What went wrong, chosen where the failure arises.
enum class FailureKind : std::uint8_t {
    NotAListing,    // no listing this program reads: no identification line, no header, an
                    // analysis it cannot read, or a scan that ran past the end
    MissingBlock,   // a landmark or result block the reading needs is not there
    ValueTooLarge,  // a number or a count does not fit its field (overflow)
    FileNotFound,   // the file, or a folder on its path, does not exist
    AccessDenied,   // the user may not open the file
    FileLocked,     // another program holds the sheet's file
    FormatLimit,    // the sheet has more rows or columns than its format holds
    ReadFailed,     // any other failure while a listing is read
    WriteFailed,    // any other failure while a sheet is written
};

inline constexpr std::array kFailureKinds = {
    FailureKind::NotAListing,  FailureKind::MissingBlock, FailureKind::ValueTooLarge,
    FailureKind::FileNotFound, FailureKind::AccessDenied, FailureKind::FileLocked,
    FailureKind::FormatLimit,  FailureKind::ReadFailed,   FailureKind::WriteFailed};

// The kind's name as scripts see it: "not_a_listing", "missing_block", ...
std::string_view KindName(FailureKind kind);
// The icon's name as scripts see it: "none", "critical", "information", ...
std::string_view IconName(MsgIcon icon);

// One failure, as the window shows it in a message box.
struct Notice {
    FailureKind Kind = FailureKind::ReadFailed;
    int Number = 0;    // the failure number the text shows ("62: ..."), 0 when it shows none
    std::string Text;  // exactly as the window shows it, in the listing's Latin-1 bytes
    MsgIcon Icon = MsgIcon::Critical;
    bool operator==(const Notice&) const = default;
};

// What one scan, extraction or export reported, in the order it was shown.
struct Outcome {
    std::vector<Notice> Notices;
    // The user stopped it: the window closed, Ctrl+C, a callback that raised.
    bool Stopped = false;

    bool Failed() const { return !Notices.empty(); }
    void Append(const Outcome& other) {
        Notices.insert(Notices.end(), other.Notices.begin(), other.Notices.end());
        Stopped = Stopped || other.Stopped;
    }
};

}  // namespace vx
