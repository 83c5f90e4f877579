#include "utils/LogFile.h"

#include <sys/stat.h>

namespace Utils {

// A file created here already has the mode; one that existed (a log of an earlier version, a
// file the user named) loses every access but its owner's. FileHandle refused it already when
// it is another user's.
bool LogFile::MakePrivate(FileHandle& file) { return ::fchmod(file.Native(), 0600) == 0; }

}  // namespace Utils
