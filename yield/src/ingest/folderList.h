// What a walk of the folders under a path enters and what it reads: one rule for `ingest` and
// `watch`, so that both list the same files with the same words.
#pragma once

#include <string>
#include <vector>

namespace yield {

struct FolderEntry {
    std::string path;     // the folder's path, "/", the entry's name
    bool folder = false;  // a real folder: walked into
};

// The entries of `folder` in name order. Only real folders are walked into; a link to a folder is
// not (a loop cannot trap the walk), and it is taken as a file, as FIFOs, devices, broken links
// and link loops are, so that reading it lists it with its reason. False when `folder` cannot be
// listed: it is then taken as a file itself, so that reading it says why.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries);

}  // namespace yield
