#include "JpegImage.h"

#include <csetjmp>
#include <cstdio>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace kt::ui {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back
// to the decoder instead of ending the process.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void ExitOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings (a truncated file among them) are counted by libjpeg but not printed.
void DiscardMessage(j_common_ptr) {}

// Decodes the open file into `image`. No object with a destructor is alive in this frame
// across the library calls, so the jump back from ExitOnError skips nothing.
bool Decode(std::FILE* file, QImage& image) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = ExitOnError;
    errors.base.output_message = DiscardMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    const bool gray = info.jpeg_color_space == JCS_GRAYSCALE;
    if (!gray && info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB) {
        jpeg_destroy_decompress(&info);  // CMYK and YCCK pictures are not supported
        return false;
    }
    info.out_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull()) {  // dimensions too large to allocate
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    // A file that ends early is padded by libjpeg with a warning; treat it as broken.
    jpeg_finish_decompress(&info);
    const bool complete = info.err->num_warnings == 0;
    jpeg_destroy_decompress(&info);
    return complete;
}

}  // namespace

bool LoadJpegImage(const std::string& path, QImage& out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    QImage image;
    const bool ok = Decode(file, image);
    std::fclose(file);
    if (!ok) return false;
    out = std::move(image);
    return true;
}

}  // namespace kt::ui
