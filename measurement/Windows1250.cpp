#include "Windows1250.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace kt::measurement {

namespace {

iconv_t Handle(void* handle) {
    return static_cast<iconv_t>(handle);
}

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);

}  // namespace

Windows1250Encoder::Windows1250Encoder() : handle_(iconv_open("WINDOWS-1250//TRANSLIT", "UTF-8")) {
    ok_ = Handle(handle_) != kNoHandle;
    if (!ok_) {
        const int code = errno;
        error_ = std::string("iconv UTF-8 -> WINDOWS-1250: ") + std::strerror(code);
    }
}

Windows1250Encoder::~Windows1250Encoder() {
    if (ok_) iconv_close(Handle(handle_));
}

bool Windows1250Encoder::Append(std::string_view utf8, std::string& out) {
    if (!ok_) return false;
    // Every UTF-8 sequence yields at most a few bytes (transliterations included), so
    // grow the output in steps and let iconv fill it.
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    while (inLeft > 0) {
        const size_t start = out.size();
        const size_t room = inLeft * 2 + 16;
        out.resize(start + room);
        char* dst = out.data() + start;
        size_t outLeft = room;
        const size_t result = iconv(Handle(handle_), &in, &inLeft, &dst, &outLeft);
        out.resize(start + (room - outLeft));
        if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ: an invalid byte, or a character with no form at all; EINVAL: a sequence
        // cut at the end. Either way write "?" and move on by one byte.
        out += '?';
        ++in;
        --inLeft;
        // Skip the rest of a cut or unconvertible multi-byte sequence.
        while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
            ++in;
            --inLeft;
        }
    }
    iconv(Handle(handle_), nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    return true;
}

}  // namespace kt::measurement
