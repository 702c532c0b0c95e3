// UTF-8 to Windows-1250, the 8-bit encoding of every text file the program writes,
// through glibc's iconv. Characters the code page lacks are transliterated where glibc
// knows a form (a narrow no-break space becomes a blank) and written as "?" otherwise;
// a byte that is not valid UTF-8 also becomes "?". Conversion itself never fails; only
// opening the converter can (no gconv modules), which `ok()` and `error()` report.
#pragma once

#include <string>
#include <string_view>

namespace kt::measurement {

class Windows1250Encoder {
public:
    Windows1250Encoder();
    ~Windows1250Encoder();
    Windows1250Encoder(const Windows1250Encoder&) = delete;
    Windows1250Encoder& operator=(const Windows1250Encoder&) = delete;

    bool ok() const { return ok_; }
    // Why the converter could not be opened (empty when ok()).
    const std::string& error() const { return error_; }

    // Appends the Windows-1250 bytes of `utf8` to `out`. Returns false only when the
    // converter is not open, and then appends nothing.
    bool Append(std::string_view utf8, std::string& out);
    std::string Convert(std::string_view utf8) {
        std::string out;
        Append(utf8, out);
        return out;
    }

private:
    void* handle_;  // iconv_t
    bool ok_ = false;
    std::string error_;
};

// A whole text file in Windows-1250 with CR LF after every line, the last included.
class Windows1250Text {
public:
    bool ok() const { return encoder_.ok(); }
    const std::string& error() const { return encoder_.error(); }

    // One line given in UTF-8.
    void Line(std::string_view utf8) {
        encoder_.Append(utf8, bytes_);
        bytes_ += "\r\n";
    }
    // Text given in UTF-8 without ending the line.
    void Text(std::string_view utf8) { encoder_.Append(utf8, bytes_); }
    void EndLine() { bytes_ += "\r\n"; }

    Windows1250Encoder& encoder() { return encoder_; }
    // The file so far; bytes already in Windows-1250 (or plain ASCII) may be appended.
    std::string& bytes() { return bytes_; }

private:
    Windows1250Encoder encoder_;
    std::string bytes_;
};

}  // namespace kt::measurement
