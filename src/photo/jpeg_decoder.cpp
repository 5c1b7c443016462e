// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo/jpeg_decoder.h"

#include <sys/mman.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "photo/jpeg_error.h"
#include "photo/orientation.h"

namespace photo {
namespace {

// One libjpeg decompressor. The steps below each set their own jump point and
// hold no locals that need destructors, so a libjpeg error (or the watch) can
// longjmp back into them; C++ objects live only between the steps.
struct Decompressor {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    DecodeWatch watch;
};

bool ReadHeaderStep(Decompressor& d, const QByteArray& file) {
    d.cinfo.err = d.err.Install();
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.progress = &d.watch;
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

// Reads every scanline: straight into the image's padded lines for an
// upright photo, else a strip at a time, each strip then placed upright.
// CMYK goes through a row of libjpeg's own. Both are freed with the
// decompressor.
bool ReadRowsStep(Decompressor& d, QImage& image, int orientation, bool cmyk) {
    if (setjmp(d.err.jump))
        return false;
    const JDIMENSION width = d.cinfo.output_width;
    const auto pool = reinterpret_cast<j_common_ptr>(&d.cinfo);
    UprightStrip strip;
    strip.stored = QSize(static_cast<int>(width), static_cast<int>(d.cinfo.output_height));
    strip.orientation = orientation;
    strip.bytesPerPixel = image.depth() / 8;
    strip.upright = image.bits();
    strip.stride = image.bytesPerLine();
    if (orientation != 1)
        strip.rows = (*d.cinfo.mem->alloc_sarray)(pool, JPOOL_IMAGE, width * JDIMENSION(strip.bytesPerPixel), kStripRows);
    JSAMPROW cmykRow = cmyk ? (*d.cinfo.mem->alloc_sarray)(pool, JPOOL_IMAGE, width * 4, 1)[0] : nullptr;
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const int y = static_cast<int>(d.cinfo.output_scanline);
        uchar* line = strip.Row(y);
        JSAMPROW row = cmyk ? cmykRow : line;
        if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1)
            break;  // only a suspending source returns 0; ours never does
        if (cmyk) {
            // Adobe writes CMYK inverted, so each value already is 255 - ink:
            // R = C * K / 255 rounded, as djpeg converts it.
            for (JDIMENSION x = 0; x < width; ++x) {
                const unsigned c = cmykRow[4 * x], m = cmykRow[4 * x + 1],
                               yl = cmykRow[4 * x + 2], k = cmykRow[4 * x + 3];
                line[3 * x] = static_cast<uchar>((c * k + 127) / 255);
                line[3 * x + 1] = static_cast<uchar>((m * k + 127) / 255);
                line[3 * x + 2] = static_cast<uchar>((yl * k + 127) / 255);
            }
        }
        if (strip.Ends(y))
            strip.Place(y);
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
    if (IsHostileSize(width, height))
        throw std::runtime_error("JPEG image too large: " + std::to_string(width) + " x " +
                                 std::to_string(height) + " pixels");
}


}  // namespace

void PreferHugePages(void* data, qsizetype bytes) {
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t page = 4096;
    const std::uintptr_t first = (start + page - 1) & ~(page - 1), end = (start + std::uintptr_t(bytes)) & ~(page - 1);
    // Only worth it, and only possible, past a huge page's size; a refusal
    // just leaves the usual pages.
    if (end > first + (std::uintptr_t(2) << 20))
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

bool IsHostileSize(long long width, long long height) {
    return width > kMaxJpegSide || height > kMaxJpegSide || width * height > kMaxJpegPixels;
}

QSize JpegHeader::UprightSize() const {
    return photo::UprightSize(QSize(width, height), orientation);
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
    header.orientation = ReadOrientationOfJpeg(file);
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
    return DecodeJpeg(file, ReadOrientation(file), percent, stop);
}

QImage DecodeJpeg(const QByteArray& file, int orientation, std::atomic<int>* percent,
                  const std::atomic<bool>* stop) {
    Decompressor d{};
    d.watch.percent = percent;
    d.watch.stop = stop;
    DecompressorGuard destroy(d.cinfo);
    if (!ReadHeaderStep(d, file))
        Fail(d);
    CheckSize(d.cinfo);
    const int components = ComponentsOf(d.cinfo);
    if (!StartStep(d, components))
        Fail(d);
    if (orientation < 2 || orientation > 8)
        orientation = 1;
    const QSize stored(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height));
    QImage image(UprightSize(stored, orientation),
                 components == 1 ? QImage::Format_Indexed8 : QImage::Format_RGB888);
    if (image.isNull())
        throw std::bad_alloc();
    PreferHugePages(image.bits(), image.sizeInBytes());
    if (components == 1) {
        QList<QRgb> table;
        table.reserve(d.cinfo.actual_number_of_colors);
        const bool grey = d.cinfo.out_color_components == 1;
        for (int i = 0; i < d.cinfo.actual_number_of_colors; ++i) {
            const int r = d.cinfo.colormap[0][i];
            table.append(grey ? qRgb(r, r, r) : qRgb(r, d.cinfo.colormap[1][i], d.cinfo.colormap[2][i]));
        }
        image.setColorTable(table);
    }
    if (!ReadRowsStep(d, image, orientation, components == 4))
        Fail(d);
    return image;
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
        pixels_ = DecodeJpeg(bytes_, has_header_ ? header_.orientation : 1, percent, stop);
        decoded_ = true;
    }
    return pixels_;
}

bool SourcePhoto::IsDecoded() const { return decoded_; }

const QByteArray& SourcePhoto::Bytes() const { return bytes_; }

}  // namespace photo
