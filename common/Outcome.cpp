#include "common/Outcome.h"

namespace vx {

std::string_view KindName(FailureKind kind) {
    switch (kind) {
        case FailureKind::NotAListing:
            return "not_a_listing";
        case FailureKind::MissingBlock:
            return "missing_block";
        case FailureKind::ValueTooLarge:
            return "value_too_large";
        case FailureKind::FileNotFound:
            return "file_not_found";
        case FailureKind::AccessDenied:
            return "access_denied";
        case FailureKind::FileLocked:
            return "file_locked";
        case FailureKind::FormatLimit:
            return "format_limit";
        case FailureKind::ReadFailed:
            return "read_failed";
        case FailureKind::WriteFailed:
            break;
    }
    return "write_failed";
}

std::string_view IconName(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return "information";
        case MsgIcon::Critical:
            return "critical";
        case MsgIcon::Question:
            return "question";
        case MsgIcon::Exclamation:
            return "exclamation";
        case MsgIcon::None:
            break;
    }
    return "none";
}

}  // namespace vx
