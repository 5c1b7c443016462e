// SPDX-License-Identifier: GPL-3.0-or-later
// The face check's image straight from libjpeg, decoded the way OpenCV's
// JPEG loader decodes it, so that the detector sees the same pixels without
// linking OpenCV's image codecs (and the hundred libraries they bring).
#include <csetjmp>
#include <cstring>
#include <new>

#include "face/detector.h"
#include "photo/jpeg_decoder.h"
#include "photo/jpeg_error.h"
#include "photo/orientation.h"

#include <opencv2/imgproc.hpp>

namespace face {
namespace {

// OpenCV's memory source: at the end of the data libjpeg is told to wait for
// more (suspension) instead of being handed an invented end marker.
void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}
boolean FillInput(j_decompress_ptr) { return FALSE; }

void SkipInput(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr* src = cinfo->src;
    if (count <= 0)
        return;
    const size_t n = static_cast<size_t>(count) < src->bytes_in_buffer ? static_cast<size_t>(count)
                                                                      : src->bytes_in_buffer;
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
}

struct Decompressor {
    jpeg_decompress_struct cinfo;
    photo::JpegErrorManager err;
    jpeg_source_mgr source;
    // Also ends the decode past the photo decoder's scan limit (OpenCV has
    // none; the tool refuses such a file anyway).
    photo::DecodeWatch watch;
    JSAMPROW row;  // the one row libjpeg writes into, reused for every line
    // Where each line goes, a strip at a time: for a grey image a strip of
    // blue-green-red lines first (`colourStrip`), turned grey into the
    // image's strip, so that neither the colour image of a grey one nor a
    // sideways copy is ever held whole.
    photo::UprightStrip strip;
    JSAMPARRAY colourStrip;
};

// The colour strip's lines, stored rows `first` on, grey into their place:
// cvtColor works per pixel, so this is the grey of the whole colour image.
void GreyStrip(const Decompressor& d, int first, int count) {
    for (int i = 0; i < count; ++i) {
        const cv::Mat bgr(1, d.strip.stored.width(), CV_8UC3, d.colourStrip[i]);
        cv::Mat grey(1, d.strip.stored.width(), CV_8UC1, d.strip.Row(first + i));
        cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    }
}

// Each step sets its own jump point and holds no locals with destructors,
// so that a libjpeg error can longjmp back into it.
bool ReadHeaderStep(Decompressor& d, const QByteArray& bytes) {
    d.cinfo.err = d.err.Install();
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.progress = &d.watch;
    d.source.init_source = InitSource;
    d.source.fill_input_buffer = FillInput;
    d.source.skip_input_data = SkipInput;
    d.source.resync_to_restart = jpeg_resync_to_restart;
    d.source.term_source = TermSource;
    d.source.next_input_byte = reinterpret_cast<const JOCTET*>(bytes.constData());
    d.source.bytes_in_buffer = static_cast<size_t>(bytes.size());
    d.cinfo.src = &d.source;
    return jpeg_read_header(&d.cinfo, TRUE) == JPEG_HEADER_OK;
}

// Library defaults throughout; only the output colour space is chosen, as
// OpenCV chooses it for a colour image.
bool StartStep(Decompressor& d, bool grey, int orientation) {
    if (setjmp(d.err.jump))
        return false;
    d.cinfo.out_color_space = d.cinfo.num_components == 4 ? JCS_CMYK : JCS_EXT_BGR;
    // A multi-scan file cut short suspends here, before its first row; OpenCV
    // then fails on its first read, so such a file is refused.
    if (!jpeg_start_decompress(&d.cinfo))
        return false;
    const JDIMENSION width = d.cinfo.output_width * static_cast<JDIMENSION>(d.cinfo.output_components);
    const auto pool = reinterpret_cast<j_common_ptr>(&d.cinfo);
    d.row = (*d.cinfo.mem->alloc_sarray)(pool, JPOOL_IMAGE, width, 1)[0];
    std::memset(d.row, 0, width);
    const JDIMENSION pixels = d.cinfo.output_width;
    if (grey)
        d.colourStrip = (*d.cinfo.mem->alloc_sarray)(pool, JPOOL_IMAGE, pixels * 3, photo::kStripRows);
    if (orientation != 1)
        d.strip.rows = (*d.cinfo.mem->alloc_sarray)(pool, JPOOL_IMAGE, pixels * (grey ? 1 : 3), photo::kStripRows);
    return true;
}

// Every line of the image takes the row buffer after one read. Once the data
// has run out a read returns nothing, so the lines below the cut repeat the
// last row decoded, as OpenCV's do.
bool ReadRowsStep(Decompressor& d) {
    if (setjmp(d.err.jump))
        return false;
    const int width = d.strip.stored.width();
    for (int y = 0; y < d.strip.stored.height(); ++y) {
        jpeg_read_scanlines(&d.cinfo, &d.row, 1);
        uchar* out = d.colourStrip ? d.colourStrip[y % photo::kStripRows] : d.strip.Row(y);
        if (d.cinfo.out_color_space != JCS_CMYK) {
            std::memcpy(out, d.row, static_cast<size_t>(width) * 3);
        } else {
            // OpenCV's conversion, which takes the values as written by Adobe
            // (inverted) whatever the file says, in blue-green-red order.
            for (int x = 0; x < width; ++x) {
                const int c = d.row[4 * x], m = d.row[4 * x + 1], yl = d.row[4 * x + 2], k = d.row[4 * x + 3];
                out[3 * x] = static_cast<uchar>(k - ((255 - yl) * k >> 8));
                out[3 * x + 1] = static_cast<uchar>(k - ((255 - m) * k >> 8));
                out[3 * x + 2] = static_cast<uchar>(k - ((255 - c) * k >> 8));
            }
        }
        if (!d.strip.Ends(y))
            continue;
        if (d.colourStrip)
            GreyStrip(d, y - y % photo::kStripRows, y % photo::kStripRows + 1);
        d.strip.Place(y);
    }
    return true;
}

// OpenCV has its image once the rows are read: an error here (a file cut
// short, or no end marker) does not take it away.
void FinishStep(Decompressor& d) {
    if (setjmp(d.err.jump))
        return;
    jpeg_finish_decompress(&d.cinfo);
}

}  // namespace

cv::Mat DecodeLikeOpenCv(const QByteArray& bytes, int orientation, int type, const std::atomic<bool>* stop) {
    Decompressor d{};
    d.watch.stop = stop;
    photo::DecompressorGuard destroy(d.cinfo);
    const auto stopped = [&d] {
        if (d.err.code == photo::kStoppedCode)
            throw photo::Stopped();
        return cv::Mat();
    };
    if (bytes.isEmpty() || !ReadHeaderStep(d, bytes))
        return stopped();
    // Hostile headers are refused before anything is allocated for them.
    if (photo::IsHostileSize(d.cinfo.image_width, d.cinfo.image_height))
        return {};
    if (orientation < 2 || orientation > 8)
        orientation = 1;
    if (!StartStep(d, type == CV_8UC1, orientation))
        return stopped();
    const QSize stored(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height));
    const QSize upright = photo::UprightSize(stored, orientation);
    cv::Mat image;
    try {
        image.create(upright.height(), upright.width(), type);
    } catch (const cv::Exception&) {  // what OpenCV throws when memory runs out
        throw std::bad_alloc();
    }
    photo::PreferHugePages(image.data, qsizetype(image.total() * image.elemSize()));
    d.strip.stored = stored;
    d.strip.orientation = orientation;
    d.strip.bytesPerPixel = static_cast<int>(image.elemSize());
    d.strip.upright = image.data;
    d.strip.stride = static_cast<qsizetype>(image.step);
    if (!ReadRowsStep(d))
        return stopped();
    FinishStep(d);
    return image;
}

}  // namespace face
