// JPEG through libjpeg-turbo: the scans are counted before the decoder sees the file, the
// decoder's own memory is capped (a progressive file needs all its coefficients at once),
// and the picture is decoded at the smallest eighth of its size that still fills the box
// it can be shown in. libjpeg reports errors by longjmp, so the function that runs it holds
// no object with a destructor.
// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>

#include "platform/ui/UIPictureDecode.h"

namespace kestrova::ui::picture {
namespace {

struct JpegErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    const char* stop;  // set when the budget, not the file, ends the decode
};

struct JpegProgress {
    jpeg_progress_mgr mgr;
    const DecodeBudget* budget;
};

void jpegError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

// Corrupt-data warnings are common in real files and say nothing useful here.
void jpegMessage(j_common_ptr, int) {}

// Called at least once per row of blocks while the input is absorbed, and per output row.
void jpegProgress(j_common_ptr cinfo) {
    auto* progress = reinterpret_cast<JpegProgress*>(cinfo->progress);
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > kMaxJpegScans) {
        errors->stop = "JPEG with more scans than any encoder writes";
    } else if (progress->budget->exhausted()) {
        errors->stop = "decoding the picture takes too long";
    }
    if (errors->stop != nullptr) {
        std::longjmp(errors->jump, 1);
    }
}

// The smallest M of M/8 that keeps the picture at least as large as it can be shown
// inside box, either side; 8 without a box.
unsigned scaleEighths(JDIMENSION w, JDIMENSION h, SIZE box) {
    if (box.cx <= 0 || box.cy <= 0) {
        return 8;
    }
    for (unsigned m = 1; m < 8; ++m) {
        if (w * m >= 8u * unsigned(box.cx) || h * m >= 8u * unsigned(box.cy)) {
            return m;
        }
    }
    return 8;
}

struct JpegRun {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    JpegProgress progress;
    long width = 0, height = 0;
    std::string_view failure;
};

// Reads the header (width and height set), then the pixels into canvas.
bool runJpeg(JpegRun* run, SIZE box, Canvas* canvas) {
    j_decompress_ptr cinfo = &run->cinfo;
    if (setjmp(run->errors.jump)) {
        return false;
    }
    jpeg_read_header(cinfo, TRUE);
    run->width = cinfo->image_width;
    run->height = cinfo->image_height;
    if (!withinSideLimit(run->width, run->height)) {
        return false;
    }
    cinfo->out_color_space = JCS_EXT_BGRA;
    cinfo->scale_num = scaleEighths(cinfo->image_width, cinfo->image_height, box);
    cinfo->scale_denom = 8;
    jpeg_calc_output_dimensions(cinfo);
    if (!canvas->allocate(int(cinfo->output_width), int(cinfo->output_height))) {
        run->failure = "out of memory for the picture";
        return false;
    }
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(canvas->row(int(cinfo->output_scanline)));
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    return true;
}

}  // namespace

int countJpegScans(std::span<const std::uint8_t> bytes) {
    int scans = 0;
    std::size_t at = 2;  // past the start of image
    while (at + 1 < bytes.size()) {
        if (bytes[at] != 0xFF) {
            ++at;  // entropy-coded data, or junk between segments
            continue;
        }
        const std::uint8_t marker = bytes[at + 1];
        if (marker == 0xFF || marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) ||
            marker == 0x01) {
            ++at;  // fill byte, stuffed zero, restart marker, or a marker without length
            continue;
        }
        if (marker == 0xD9) {
            break;  // end of image
        }
        if (marker == 0xDA) {
            ++scans;
        }
        if (at + 3 >= bytes.size()) {
            break;
        }
        at += 2 + ((std::size_t{bytes[at + 2]} << 8) | bytes[at + 3]);
    }
    return scans;
}

DecodeResult decodeJpeg(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                        const DecodeBudget& budget) {
    if (countJpegScans(bytes) > kMaxJpegScans) {
        return {nullptr, "JPEG with more scans than any encoder writes"};
    }
    JpegRun run{};
    run.cinfo.err = jpeg_std_error(&run.errors.mgr);
    run.errors.mgr.error_exit = jpegError;
    run.errors.mgr.emit_message = jpegMessage;
    jpeg_create_decompress(&run.cinfo);
    run.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    run.progress.mgr.progress_monitor = jpegProgress;
    run.progress.budget = &budget;
    run.cinfo.progress = &run.progress.mgr;
    jpeg_mem_src(&run.cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    Canvas canvas;
    const bool decoded = runJpeg(&run, options.fit, &canvas);
    jpeg_destroy_decompress(&run.cinfo);
    if (decoded) {
        return {canvas.finish(int(run.width), int(run.height), Canvas::Alpha::Premultiplied,
                              options.mask),
                {}};
    }
    if (run.errors.stop != nullptr) {
        return {nullptr, run.errors.stop};
    }
    const int code = run.errors.mgr.msg_code;
    if (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY) {
        return {nullptr, "decoding the picture needs more memory than allowed"};
    }
    if (run.width != 0 && !withinSideLimit(run.width, run.height)) {
        return {nullptr, overLimit(run.width, run.height)};
    }
    return {nullptr, run.failure.empty() ? "not a readable picture" : std::string(run.failure)};
}

}  // namespace kestrova::ui::picture
