#include "Failure.h"

#include <cerrno>
#include <cstring>

namespace vx {

std::string_view DescribeFailure(int number) {
    switch (number) {
        case fail::InvalidCall:
            return "Invalid procedure call or argument";
        case fail::Overflow:
            return "Overflow";
        case fail::OutOfMemory:
            return "Out of memory";
        case fail::SubscriptOutOfRange:
            return "Subscript out of range";
        case fail::TypeMismatch:
            return "Type mismatch";
        case fail::BadFileNameOrNumber:
            return "Bad file name or number";
        case fail::FileNotFound:
            return "File not found";
        case fail::DeviceIoError:
            return "Device I/O error";
        case fail::DiskFull:
            return "Disk full";
        case fail::InputPastEndOfFile:
            return "Input past end of file";
        case fail::TooManyFiles:
            return "Too many files";
        case fail::PermissionDenied:
            return "Permission denied";
        case fail::PathFileAccessError:
            return "Path/File access error";
        case fail::PathNotFound:
            return "Path not found";
        default:
            return "Application-defined or object-defined error";
    }
}

std::string FailureText(int number, std::string_view description) {
    std::string text = std::to_string(number);
    text += ": ";
    text += description;
    return text;
}

Failure::Failure(int number) : m_number(number), m_description(DescribeFailure(number)) {}

Failure::Failure(int number, std::string description)
    : m_number(number), m_description(std::move(description)) {}

Failure::Failure(int number, FailureKind kind) : Failure(number) {
    m_kind = kind;
}

void Raise(int number) {
    throw Failure(number);
}

Failure FailureFromErrno(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
            return Failure(fail::FileNotFound, FailureKind::FileNotFound);
        case ENOTDIR:
            return Failure(fail::PathNotFound, FailureKind::FileNotFound);
        // Another program holding the file is "Permission denied"; a place that refuses
        // the user (a read-only folder or file) is an access error, as on the desktops
        // whose numbering this is.
        case EBUSY:
        case ETXTBSY:
        case EWOULDBLOCK:
            return Failure(fail::PermissionDenied, FailureKind::FileLocked);
        case EACCES:
        case EPERM:
            return Failure(fail::PathFileAccessError, FailureKind::AccessDenied);
        case EISDIR:
        case EROFS:
        case ENXIO:
        case ENODEV:
        case EINVAL:
            return Failure(fail::PathFileAccessError);
        case ENAMETOOLONG:
        case ELOOP:
            return Failure(fail::BadFileNameOrNumber);
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return Failure(fail::DiskFull);
        case EMFILE:
        case ENFILE:
            return Failure(fail::TooManyFiles);
        case ENOMEM:
            return Failure(fail::OutOfMemory);
        default:
            return Failure(fail::DeviceIoError, std::strerror(errnoValue));
    }
}

FailureKind ReadingFailureKind(const Failure& failure, FailureKind pastEnd) {
    if (failure.Kind()) return *failure.Kind();
    switch (failure.Number()) {
        case fail::Overflow:
            return FailureKind::ValueTooLarge;
        case fail::InputPastEndOfFile:
            return pastEnd;
        default:
            return FailureKind::ReadFailed;
    }
}

FailureKind WritingFailureKind(const Failure& failure) {
    if (failure.Number() == fail::PermissionDenied) return FailureKind::FileLocked;
    return failure.Kind().value_or(FailureKind::WriteFailed);
}

}  // namespace vx
