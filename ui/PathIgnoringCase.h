// Files the program finds by itself under its start-up directory ("help/", "Help/",
// "bootloader/", "Bootloader/") are looked up ignoring letter case, since the folders
// are named either way by installations and users alike.
#pragma once

#include <string>

namespace kt::ui {

// The path of `relative` ("help/index.html") under `directory`, each name matched
// ignoring letter case. Where several entries match a name, the exact spelling is tried
// first, then the others in name order, and one under which the rest of the path exists
// wins. Where the whole path does not exist, the leading folders that do are matched
// the same way and the rest keeps its given spelling, so that a file about to be
// written lands in the folder that is there.
std::string FindPathIgnoringCase(const std::string& directory, const std::string& relative);

}  // namespace kt::ui
