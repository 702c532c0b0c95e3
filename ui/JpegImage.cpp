#include "JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include "ReadRegularFile.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
// After jpeglib.h: the error codes and ERREXIT.
#include <jerror.h>

namespace kt::ui {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back
// to the decoder or encoder instead of ending the process.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void ExitOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings (a truncated file among them) are counted by libjpeg but not printed.
void DiscardMessage(j_common_ptr) {}

// Sends the library's errors to ExitOnError and drops its warnings.
jpeg_error_mgr* RouteErrors(ErrorManager& errors) {
    jpeg_error_mgr* routed = jpeg_std_error(&errors.base);
    errors.base.error_exit = ExitOnError;
    errors.base.output_message = DiscardMessage;
    return routed;
}

// Decodes the file's bytes into `image`. No object with a destructor is alive in this
// frame across the library calls, so the jump back from ExitOnError skips nothing.
bool Decode(const std::string& bytes, QImage& image) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = RouteErrors(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
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

// Where the encoder writes: a malloc'ed buffer that doubles when full. Kept outside the
// frame that calls setjmp, so its values are defined after the jump back, and owned by
// the caller, which frees it whether or not the encoding finished.
struct MemoryTarget {
    jpeg_destination_mgr manager;  // first member: libjpeg's pointer to it is ours
    unsigned char* data = nullptr;
    size_t capacity = 0;
    size_t size = 0;
    char message[JMSG_LENGTH_MAX] = {};
};

MemoryTarget& TargetOf(j_compress_ptr info) {
    return *reinterpret_cast<MemoryTarget*>(info->dest);
}

// Makes room for `more` bytes after the first `used` ones, or stops libjpeg.
void Grow(j_compress_ptr info, size_t used, size_t more) {
    MemoryTarget& target = TargetOf(info);
    auto* grown = static_cast<unsigned char*>(std::realloc(target.data, used + more));
    if (grown == nullptr) ERREXIT(info, JERR_OUT_OF_MEMORY);
    target.data = grown;
    target.capacity = used + more;
    target.manager.next_output_byte = grown + used;
    target.manager.free_in_buffer = more;
}

void StartTarget(j_compress_ptr info) {
    Grow(info, 0, 64 * 1024);
}

boolean GrowTarget(j_compress_ptr info) {
    const size_t used = TargetOf(info).capacity;  // the whole buffer is full
    Grow(info, used, used);
    return TRUE;
}

void EndTarget(j_compress_ptr info) {
    MemoryTarget& target = TargetOf(info);
    target.size = target.capacity - target.manager.free_in_buffer;
}

void KeepMessage(j_common_ptr info, MemoryTarget& target) {
    (*info->err->format_message)(info, target.message);
}

// Encodes the RGB888 picture into `target`. As in Decode, nothing with a destructor lives
// in this frame across the library calls.
bool Encode(const QImage& rgb, int quality, MemoryTarget& target) {
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = RouteErrors(errors);
    if (setjmp(errors.jump)) {
        KeepMessage(reinterpret_cast<j_common_ptr>(&info), target);
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    target.manager.init_destination = StartTarget;
    target.manager.empty_output_buffer = GrowTarget;
    target.manager.term_destination = EndTarget;
    info.dest = &target.manager;
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // Full colour resolution: the chart's two-pixel coloured lines would smear with the
    // usual halved chroma.
    info.comp_info[0].h_samp_factor = 1;
    info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg only reads the rows it is given.
        auto row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

bool EncodeJpeg(const QImage& image, int quality, std::string& bytes, std::string& reason) {
    if (image.isNull()) {
        reason = "pusty obraz";
        return false;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    MemoryTarget target{};
    const bool ok = Encode(rgb, quality, target);
    if (ok) bytes.assign(reinterpret_cast<const char*>(target.data), target.size);
    std::free(target.data);
    if (!ok) reason = target.message;
    return ok;
}

bool LoadJpegImage(const std::string& path, QImage& out, device::Log* log) {
    const measurement::RegularFileRead file = measurement::ReadRegularFile(path, kMaxJpegFileBytes);
    if (!file.ok()) {
        if (log != nullptr && file.status != measurement::RegularFileRead::Status::Missing) {
            log->Warning(path + ": picture not loaded: " + file.reason);
        }
        return false;
    }
    QImage image;
    if (!Decode(file.bytes, image)) return false;
    out = std::move(image);
    return true;
}

}  // namespace kt::ui
