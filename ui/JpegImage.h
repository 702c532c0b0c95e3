// JPEG decoding and encoding through libjpeg's own interface (the mode pictures are
// decoded, the chart's JPEG export is encoded).
#pragma once

#include <QImage>
#include <cstddef>
#include <string>

#include "Log.h"

namespace kt::ui {

// A mode picture is a few hundred kilobytes; a larger file is not read.
inline constexpr std::size_t kMaxJpegFileBytes = 16 * 1024 * 1024;

// Decodes a baseline or progressive JPEG with RGB/YCbCr or grayscale colour into `out`
// (RGB888 or Grayscale8). A missing, unreadable, truncated or corrupt file returns false
// and leaves `out` unchanged; libjpeg's messages are not printed. Only a regular file of
// at most kMaxJpegFileBytes is read: a pipe or device in its place is refused at once.
// A file that exists but is refused or cannot be read is reported to `log`, if given.
bool LoadJpegImage(const std::string& path, QImage& out, device::Log* log = nullptr);

// Quality of the chart's JPEG export (libjpeg's 0..100 scale).
inline constexpr int kJpegExportQuality = 90;

// Encodes `image` as a baseline JFIF with RGB colour (any QImage format; transparency is
// dropped) into `bytes`. Fails (false, with libjpeg's message or the reason in `reason`)
// for a null image or one larger than JPEG allows (65500 pixels a side).
bool EncodeJpeg(const QImage& image, int quality, std::string& bytes, std::string& reason);

}  // namespace kt::ui
