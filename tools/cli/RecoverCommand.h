// `recover JOURNAL --out F.txt|F.xls`: writes the measurement file of a run journal (one
// the program or `record` left behind, or one set aside) with the program's own writer.
#pragma once

#include <string>
#include <vector>

namespace kt::cli {

// Exit 0 written, 2 usage, 5 not written (the journal unreadable or no journal of ours,
// or the file not written); the row count on standard error.
int RecoverCommand(std::vector<std::string> args);

}  // namespace kt::cli
