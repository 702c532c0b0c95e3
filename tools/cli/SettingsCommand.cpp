#include "SettingsCommand.h"

#include <sys/stat.h>

#include <cstdio>

#include "AtomicFile.h"
#include "Commands.h"
#include "RecordCommand.h"
#include "SettingsFile.h"

namespace kt::cli {

int WriteSettingsCommand(const std::string& port, const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "write-settings needs one file name\n");
        return EXIT_USAGE;
    }
    const std::string& path = args.front();
    measurement::AppSettings settings;
    settings.portName = port;
    const std::string bytes = measurement::FormatSettings(settings);
    // The writer stores a name it could not read back as "COM1"; the tool refuses it.
    if (measurement::ParseSettings(bytes).settings.portName != port) {
        std::fprintf(stderr,
                     "the settings file cannot keep the port name '%s' (at most %zu "
                     "characters, no blanks)\n",
                     port.c_str(), measurement::kMaxPortNameLength);
        return EXIT_USAGE;
    }
    // Whatever is there (a file, a link, even one that leads nowhere) is the user's.
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        std::fprintf(stderr, "%s exists; it is left as it is\n", path.c_str());
        return EXIT_NOT_WRITTEN;
    }
    const measurement::FileWriteResult written = measurement::WriteFileAtomically(path, bytes);
    if (!written.ok()) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), written.reason.c_str());
        return EXIT_NOT_WRITTEN;
    }
    return EXIT_OK;
}

}  // namespace kt::cli
