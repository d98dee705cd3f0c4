#pragma once

#include <string>

namespace vx {

// True when another open file description holds a lock on the file: a POSIX record
// lock, an open-file-description lock or a flock. That is how programs on this system
// say a file is in use, where Windows refuses to delete an open spreadsheet.
bool IsHeldByAnother(const char* path);

// A file written in full before it takes the place of `destination`: a failure, a stop
// or a crash meanwhile leaves an earlier file of that name as it was and no partial file.
// The new file is made in the destination's folder, without a name where the file
// system allows it (so that not even a crash leaves it behind) and under a hidden
// temporary name elsewhere; Commit gives it the destination's name. It gets the
// permissions a plainly created file gets (the umask, a folder's default ACL). A
// destination that is a symbolic link is replaced where the link points.
//
// The constructor refuses, throwing vx::Failure as the .xls writer does, a destination
// that is a folder (75), a device or a pipe (75), a file another program holds (70),
// and a folder where no file can be made (the file system's own failure).
class FileReplacement {
public:
    explicit FileReplacement(const std::string& destination);
    // Discards the new file unless Commit has placed it.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Open for writing, at its start.
    int Descriptor() const { return m_fd; }
    // A name that opens the new file again, for a library that opens files by name.
    std::string Reopenable() const;
    // The folder the destination is in, where temporary files of the same size belong.
    const std::string& Folder() const { return m_folder; }
    // Closes the new file and gives it the destination's name; throws vx::Failure.
    void Commit();

private:
    void Discard() noexcept;

    std::string m_target;  // the destination, symbolic links followed
    std::string m_folder;
    std::string m_temporary;  // the new file's name; empty while it has none
    int m_fd = -1;
};

}  // namespace vx
