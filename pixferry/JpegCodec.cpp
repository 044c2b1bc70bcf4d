#include "JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace {

// The library reports a fatal error by calling error_exit, which must not
// return: it jumps back to the call that started the work.
struct ErrorJump {
    jpeg_error_mgr pub;
    std::jmp_buf back;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->back, 1); }
void Quiet(j_common_ptr) {}

// The error manager for one piece of work: silent, and jumping back on a
// fatal error. The setjmp stays in the caller's frame.
jpeg_error_mgr* JumpingErrors(ErrorJump& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpBack;
    err.pub.output_message = Quiet;
    return &err.pub;
}

// Pictures from the device are not trusted: no more than this is ever set aside for one.
constexpr long MaxDecoderMemory = 64L << 20;
constexpr unsigned long MaxPixels = 64UL << 20;

// Only plain data lives in this frame, so the jump skips no destructor.
bool Decode(const unsigned char* data, unsigned long size, int maxWidth, int maxHeight, TBitmap24& bitmap) {
    jpeg_decompress_struct cinfo;
    ErrorJump err;
    cinfo.err = JumpingErrors(err);
    if (setjmp(err.back)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = MaxDecoderMemory;
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (static_cast<unsigned long>(cinfo.image_width) * cinfo.image_height > MaxPixels ||
        (cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_RGB &&
         cinfo.jpeg_color_space != JCS_GRAYSCALE)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const int width = std::min(static_cast<int>(cinfo.output_width), maxWidth);
    const int height = std::min(static_cast<int>(cinfo.output_height), maxHeight);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * 3, 1);
    bitmap.Resize(width, height);
    while (static_cast<int>(cinfo.output_scanline) < height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
        std::memcpy(bitmap.ScanLine(y), row[0], static_cast<std::size_t>(width) * 3);
    }
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Collects the encoder's output in a string through a small buffer.
struct StringDestination {
    jpeg_destination_mgr pub;
    std::string* out;
    JOCTET buffer[16384];
};

void InitDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<StringDestination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = sizeof d->buffer;
}

boolean EmptyDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<StringDestination*>(cinfo->dest);
    d->out->append(reinterpret_cast<const char*>(d->buffer), sizeof d->buffer);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<StringDestination*>(cinfo->dest);
    d->out->append(reinterpret_cast<const char*>(d->buffer), sizeof d->buffer - d->pub.free_in_buffer);
}

bool Encode(const TBitmap24& bitmap, std::string* out) {
    jpeg_compress_struct cinfo;
    ErrorJump err;
    StringDestination dest;
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyDestination;
    dest.pub.term_destination = TermDestination;
    dest.out = out;
    cinfo.err = JumpingErrors(err);
    if (setjmp(err.back)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.pub;
    cinfo.image_width = static_cast<JDIMENSION>(bitmap.Width);
    cinfo.image_height = static_cast<JDIMENSION>(bitmap.Height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bitmap.ScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

std::optional<std::string> EncodeJpeg(const TBitmap24& bitmap) {
    if (bitmap.Empty()) return std::nullopt;
    std::string out;
    if (!Encode(bitmap, &out)) return std::nullopt;
    return out;
}

bool DecodeJpegCorner(std::string_view bytes, int maxWidth, int maxHeight, TBitmap24& bitmap) {
    bitmap.Clear();
    if (bytes.empty() || maxWidth <= 0 || maxHeight <= 0) return false;
    if (!Decode(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()), maxWidth,
                maxHeight, bitmap)) {
        bitmap.Clear();
        return false;
    }
    return true;
}
