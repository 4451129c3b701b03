#ifndef CONTR_DISCOVERY_REPLACE_FILE_H_
#define CONTR_DISCOVERY_REPLACE_FILE_H_

#include <string>

/// Replaces `path` with a file holding `content`, whole or not at all:
/// refused when a symbolic link, a file of another user, something that is
/// no regular file or a file with a second name (hard link) is there, or
/// when something appears at a free path while the file is written
/// (EEXIST). The content goes to a new file beside it first; the signals
/// that end a run wait until that file is renamed or removed. False with
/// errno set, and the earlier file untouched, otherwise.
bool replace_file(const char* path, const std::string& content);

#endif  // CONTR_DISCOVERY_REPLACE_FILE_H_
