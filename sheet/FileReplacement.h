#pragma once

#include <string>

namespace vx {

// True when another open file description holds a lock on the file: a POSIX record
// lock, an open-file-description lock or a flock. That is how programs on this system
// say a file is in use, where Windows refuses to delete an open spreadsheet.
bool IsHeldByAnother(const char* path);

}  // namespace vx
