// JPEG decoding and encoding through libjpeg's own interface (the mode pictures are
// decoded, the chart's JPEG export is encoded).
#pragma once

#include <QImage>
#include <string>

namespace kt::ui {

// Decodes a baseline or progressive JPEG with RGB/YCbCr or grayscale colour into `out`
// (RGB888 or Grayscale8). A missing, unreadable, truncated or corrupt file returns false
// and leaves `out` unchanged; libjpeg's messages are not printed.
bool LoadJpegImage(const std::string& path, QImage& out);

// Quality of the chart's JPEG export (libjpeg's 0..100 scale).
inline constexpr int kJpegExportQuality = 90;

// Encodes `image` as a baseline JFIF with RGB colour (any QImage format; transparency is
// dropped) into `bytes`. Fails (false, with libjpeg's message or the reason in `reason`)
// for a null image or one larger than JPEG allows (65500 pixels a side).
bool EncodeJpeg(const QImage& image, int quality, std::string& bytes, std::string& reason);

}  // namespace kt::ui
