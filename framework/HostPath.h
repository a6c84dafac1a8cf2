// POSIX hosts only: how the installer's ANSI paths (GBK, backslashes) reach
// the host's file names (UTF-8, slashes), and how the framework opens files
// there. Windows takes the ANSI paths as they are and has no such layer.
#pragma once
#include <string>

#include "String.h"

// The host path for an ANSI path, one component at a time: a component of
// GBK that the host can convert becomes UTF-8, any other keeps its bytes;
// the real separators become slashes. A 0x5C byte that is the second byte
// of a double-byte character is never a separator.
std::string HostPathFromAnsi(const char* ansiPath);
// The reverse, for names that come from the host (UTF-8 to GBK). Returns
// false unless the result converts back to exactly hostPath: a character
// without a GBK form, a backslash, or one the converter would drop.
bool AnsiFromHostPath(const std::string& hostPath, CString* ansiPath);
// Converts text between two iconv encodings ("CP936", "UTF-8"); false when
// a character has no form in the target or the input is not valid.
bool ConvertText(const char* from, const char* to, const std::string& in, std::string* out);
// open() for the framework's files: a write never goes through a link, so
// one planted after the caller removed what stood there is refused, not
// followed; no open waits on a FIFO or takes a folder or a socket for a
// file (character devices such as /dev/null stay usable: only root can
// plant one). Returns the descriptor, or -1 with errno.
int OpenRegularFile(const std::string& host, int flags);
