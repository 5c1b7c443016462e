// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo/jpeg_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <new>
#include <stdexcept>
#include <string>

#include "photo/jpeg_error.h"
#include "photo/orientation.h"

namespace photo {
namespace {

// Put in JpegErrorManager::code by the scan limit and by a stop; libjpeg's
// codes are >= 0.
constexpr int kTooManyScansCode = -1;
constexpr int kStoppedCode = -2;

// One libjpeg decompressor. The steps below each set their own jump point and
// hold no locals that need destructors, so a libjpeg error (or the scan limit)
// can longjmp back into them; C++ objects live only between the steps.
struct Progress : jpeg_progress_mgr {
    std::atomic<int>* percent;     // null when nobody watches
    const std::atomic<bool>* stop;  // null when nobody can stop it
};

struct Decompressor {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    Progress progress;
};

// Called by libjpeg before each piece of input it absorbs, as djpeg's
// -maxscans does: a file with endless scans would otherwise spin for minutes.
// It also reports how far the decode has come, for a window that waits, and
// ends the decode once the window no longer wants it (the user closed it).
void LimitScans(j_common_ptr common) {
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    auto* progress = static_cast<Progress*>(common->progress);
    const bool stopped = progress->stop && progress->stop->load();
    if (stopped || cinfo->input_scan_number > kMaxJpegScans) {
        auto* err = reinterpret_cast<JpegErrorManager*>(common->err);
        err->code = stopped ? kStoppedCode : kTooManyScansCode;
        std::longjmp(err->jump, 1);
    }
    if (progress->percent && progress->pass_limit > 0 && progress->total_passes > 0) {
        const double done = progress->completed_passes + double(progress->pass_counter) / progress->pass_limit;
        *progress->percent = std::min(100, int(100 * done / progress->total_passes));
    }
}

bool ReadHeaderStep(Decompressor& d, const QByteArray& file) {
    d.cinfo.err = d.err.Install();
    d.progress.progress_monitor = LimitScans;
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.progress = &d.progress;
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d.cinfo, TRUE);
    return true;
}

bool StartStep(Decompressor& d, int components) {
    if (setjmp(d.err.jump))
        return false;
    d.cinfo.scale_num = 1;
    d.cinfo.scale_denom = 1;
    d.cinfo.dct_method = JDCT_FLOAT;
    d.cinfo.do_block_smoothing = TRUE;
    d.cinfo.do_fancy_upsampling = TRUE;
    if (components == 1) {
        d.cinfo.out_color_space = JCS_GRAYSCALE;
        d.cinfo.quantize_colors = TRUE;
        d.cinfo.desired_number_of_colors = 236;
        d.cinfo.dither_mode = JDITHER_FS;
    } else if (components == 4) {
        // libjpeg gives no RGB for CMYK or YCCK; it turns YCCK into CMYK.
        d.cinfo.out_color_space = JCS_CMYK;
    } else {
        d.cinfo.out_color_space = JCS_RGB;
    }
    jpeg_start_decompress(&d.cinfo);
    return true;
}

// Reads every scanline straight into the image's padded lines; CMYK goes
// through a row of libjpeg's own (freed with the decompressor).
bool ReadRowsStep(Decompressor& d, uchar* bits, qsizetype bytes_per_line, bool cmyk) {
    if (setjmp(d.err.jump))
        return false;
    const JDIMENSION width = d.cinfo.output_width;
    JSAMPROW cmyk_row = nullptr;
    if (cmyk)
        cmyk_row = (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo),
                                                 JPOOL_IMAGE, width * 4, 1)[0];
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        uchar* line = bits + static_cast<qsizetype>(d.cinfo.output_scanline) * bytes_per_line;
        JSAMPROW row = cmyk ? cmyk_row : line;
        if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1)
            break;  // only a suspending source returns 0; ours never does
        if (cmyk) {
            // Adobe writes CMYK inverted, so each value already is 255 - ink:
            // R = C * K / 255 rounded, as djpeg converts it.
            for (JDIMENSION x = 0; x < width; ++x) {
                const unsigned c = cmyk_row[4 * x], m = cmyk_row[4 * x + 1],
                               y = cmyk_row[4 * x + 2], k = cmyk_row[4 * x + 3];
                line[3 * x] = static_cast<uchar>((c * k + 127) / 255);
                line[3 * x + 1] = static_cast<uchar>((m * k + 127) / 255);
                line[3 * x + 2] = static_cast<uchar>((y * k + 127) / 255);
            }
        }
    }
    return true;
}

[[noreturn]] void Fail(const Decompressor& d) {
    if (d.err.code == kStoppedCode)
        throw Stopped();
    if (d.err.code == kTooManyScansCode)
        throw std::runtime_error("JPEG file has more than " + std::to_string(kMaxJpegScans) +
                                 " scans");
    ThrowJpegError(d.err.code);
}

// Components of the decoded output for libjpeg's guess of the colour space.
int ComponentsOf(const jpeg_decompress_struct& cinfo) {
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        return 1;
    case JCS_YCbCr:
    case JCS_RGB:
        return 3;
    case JCS_CMYK:
    case JCS_YCCK:
        return 4;
    default:
        throw std::runtime_error("Unsupported JPEG with " +
                                 std::to_string(cinfo.num_components) + " components");
    }
}

// Checked right after the header, before anything is sized from it.
void CheckSize(const jpeg_decompress_struct& cinfo) {
    const long long width = cinfo.image_width, height = cinfo.image_height;
    if (width > kMaxJpegSide || height > kMaxJpegSide || width * height > kMaxJpegPixels)
        throw std::runtime_error("JPEG image too large: " + std::to_string(width) + " x " +
                                 std::to_string(height) + " pixels");
}


}  // namespace

QSize JpegHeader::UprightSize() const {
    return orientation >= 5 && orientation <= 8 ? QSize(height, width) : QSize(width, height);
}

JpegHeader ReadJpegHeader(const QByteArray& file) {
    Decompressor d{};
    DecompressorGuard destroy(d.cinfo);
    if (!ReadHeaderStep(d, file))
        Fail(d);
    CheckSize(d.cinfo);
    JpegHeader header;
    header.width = static_cast<int>(d.cinfo.image_width);
    header.height = static_cast<int>(d.cinfo.image_height);
    header.components = ComponentsOf(d.cinfo);
    header.grayscale = header.components == 1;
    header.progressive = d.cinfo.progressive_mode != FALSE;
    header.orientation = ReadOrientation(file);
    return header;
}

bool IsReadableJpeg(const QByteArray& file) {
    Decompressor d{};
    DecompressorGuard destroy(d.cinfo);
    if (!ReadHeaderStep(d, file))
        return false;
    try {
        CheckSize(d.cinfo);
        ComponentsOf(d.cinfo);
    } catch (const std::runtime_error&) {
        return false;
    }
    return true;
}

QImage DecodeJpeg(const QByteArray& file, std::atomic<int>* percent, const std::atomic<bool>* stop) {
    QImage image;
    {
        Decompressor d{};
        d.progress.percent = percent;
        d.progress.stop = stop;
        DecompressorGuard destroy(d.cinfo);
        if (!ReadHeaderStep(d, file))
            Fail(d);
        CheckSize(d.cinfo);
        const int components = ComponentsOf(d.cinfo);
        if (!StartStep(d, components))
            Fail(d);

        const int width = static_cast<int>(d.cinfo.output_width);
        const int height = static_cast<int>(d.cinfo.output_height);
        image = QImage(width, height,
                       components == 1 ? QImage::Format_Indexed8 : QImage::Format_RGB888);
        if (image.isNull())
            throw std::bad_alloc();
        if (components == 1) {
            QList<QRgb> table;
            table.reserve(d.cinfo.actual_number_of_colors);
            const bool grey = d.cinfo.out_color_components == 1;
            for (int i = 0; i < d.cinfo.actual_number_of_colors; ++i) {
                const int r = d.cinfo.colormap[0][i];
                table.append(grey ? qRgb(r, r, r)
                                  : qRgb(r, d.cinfo.colormap[1][i], d.cinfo.colormap[2][i]));
            }
            image.setColorTable(table);
        }
        if (!ReadRowsStep(d, image.bits(), image.bytesPerLine(), components == 4))
            Fail(d);
    }
    const int orientation = ReadOrientation(file);
    if (orientation == 1)
        return image;
    QImage upright = ApplyOrientation(image, orientation);
    if (upright.isNull())
        throw std::bad_alloc();
    return upright;
}

void SourcePhoto::Load(const QByteArray& file) {
    bytes_ = file;
    header_ = JpegHeader();
    has_header_ = false;
    pixels_ = QImage();
    decoded_ = false;
    header_ = ReadJpegHeader(bytes_);
    has_header_ = true;
}

bool SourcePhoto::HasHeader() const { return has_header_; }

const JpegHeader& SourcePhoto::Header() const { return header_; }

QSize SourcePhoto::Size() const { return has_header_ ? header_.UprightSize() : QSize(0, 0); }

const QImage& SourcePhoto::Pixels(std::atomic<int>* percent, const std::atomic<bool>* stop) {
    if (!decoded_) {
        // Without a header this fails again, as a second decode of bad bytes should.
        pixels_ = DecodeJpeg(bytes_, percent, stop);
        decoded_ = true;
    }
    return pixels_;
}

bool SourcePhoto::IsDecoded() const { return decoded_; }

const QByteArray& SourcePhoto::Bytes() const { return bytes_; }

}  // namespace photo
