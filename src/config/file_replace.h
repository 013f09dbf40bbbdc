// Rewriting a settings or memory file so that a failure never leaves it half written.
#pragma once

#include <string>

// Replaces the content of the file at path: the new content goes to a temporary file beside it,
// which is flushed to the disk and then moved over the old file in one step. When path is a
// symbolic link, the file it points to is replaced the same way (the temporary file beside that
// file), so the link stays a link. The old file's permission bits are kept. On any failure the
// temporary file is removed, the old file stays as it was, and the result is false.
bool ReplaceFileContent(const std::string& path, const std::string& content);
