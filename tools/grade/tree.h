// A run's directory, walked by descriptors only: each step opens one name
// inside a directory already held, never following a link, so that nothing
// a run renames or links while it is walked leads the grader out of it.
#pragma once

#include <string>

// Bytes the files under the directory at path take on the disk, counted
// while the run may still change it. Directories the run locked (mode 0)
// are opened up through their own descriptors, so nothing outside the tree
// is ever touched; a mount point inside it is not entered.
long long tree_bytes(const std::string &path);

// Removes the tree at path, locked directories included, with no limit on
// its depth or on the length of its paths. Only for a tree no process
// changes any more. False, with the first name that stayed and why.
bool tree_remove(const std::string &path, std::string &failed);

// Opens up every directory of a kept tree (u+rwx) for the teacher.
void tree_open_up(const std::string &path);
