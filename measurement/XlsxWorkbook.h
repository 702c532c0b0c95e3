// A workbook for a file of any size: libxlsxwriter's constant-memory mode writes each row
// to disk as it is finished, so a million rows need little memory.
#pragma once

#include <xlsxwriter.h>

#include <cerrno>
#include <string>

namespace kt::measurement {

// The workbook at `path`, or null with the reason and an errno in `error`.
inline lxw_workbook* NewStreamingWorkbook(const std::string& path, std::string& reason,
                                          int& error) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    errno = 0;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    if (book == nullptr) {
        reason = "cannot start the workbook";
        error = errno != 0 ? errno : EIO;
    }
    return book;
}

}  // namespace kt::measurement
