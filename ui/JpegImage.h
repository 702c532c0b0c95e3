// JPEG decoding through libjpeg's own interface (used for the mode pictures).
#pragma once

#include <QImage>
#include <string>

namespace kt::ui {

// Decodes a baseline or progressive JPEG with RGB/YCbCr or grayscale colour into `out`
// (RGB888 or Grayscale8). A missing, unreadable, truncated or corrupt file returns false
// and leaves `out` unchanged; libjpeg's messages are not printed.
bool LoadJpegImage(const std::string& path, QImage& out);

}  // namespace kt::ui
