// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/jpeg_encoder.h"

#include <new>

#include "photo/jpeg_error.h"

#include <jerror.h>

namespace upload {

namespace {

// libjpeg destination that appends everything the codec emits to a byte
// array, through a small fixed chunk.
struct ByteArrayDestination {
    jpeg_destination_mgr pub;
    QByteArray* out;
    JOCTET chunk[4096];
};

ByteArrayDestination* DestinationOf(j_compress_ptr cinfo) {
    return reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
}

// Appends n bytes of the chunk; false when memory ran out. No exception may
// cross libjpeg's C frames, so it is caught here and turned into a codec
// error by the caller.
bool AppendChunk(ByteArrayDestination* dest, size_t n) {
    try {
        dest->out->append(reinterpret_cast<const char*>(dest->chunk), static_cast<qsizetype>(n));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void InitDestination(j_compress_ptr cinfo) {
    ByteArrayDestination* dest = DestinationOf(cinfo);
    dest->pub.next_output_byte = dest->chunk;
    dest->pub.free_in_buffer = sizeof dest->chunk;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    // libjpeg's contract: the whole chunk is full, whatever free_in_buffer says.
    ByteArrayDestination* dest = DestinationOf(cinfo);
    if (!AppendChunk(dest, sizeof dest->chunk))
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    ByteArrayDestination* dest = DestinationOf(cinfo);
    if (!AppendChunk(dest, sizeof dest->chunk - dest->pub.free_in_buffer))
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
}

// Runs the codec on 24-bit RGB rows. Between setjmp and the library calls only
// trivially destructible locals live, as a longjmp skips destructors.
void Compress(const QImage& rgb, int quality, QByteArray& out) {
    photo::JpegErrorManager err;
    jpeg_compress_struct cinfo = {};  // zeroed, so destroying a half-made one is safe
    ByteArrayDestination dest = {};
    dest.out = &out;
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyOutputBuffer;
    dest.pub.term_destination = TermDestination;

    cinfo.err = err.Install();
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        photo::ThrowJpegError(err.code);
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.pub;

    cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
    cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_FLOAT;

    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        // libjpeg only reads the rows; its interface is not const-correct.
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
}

}  // namespace

QByteArray EncodeJpeg(const QImage& picture, int quality) {
    if (picture.width() == 0 || picture.height() == 0)
        return QByteArray();
    // Format_RGB888 holds each pixel as red, green, blue bytes: the order the
    // codec reads for JCS_RGB.
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        throw std::bad_alloc();
    QByteArray out;
    Compress(rgb, quality, out);
    return out;
}

QByteArray EncodeWithinLimit(const QImage& picture, int limit, const JpegEncoder& encode,
                             int* quality) {
    QByteArray stream;
    int q = 100;
    for (;;) {
        stream = encode(picture, q);
        if (stream.size() <= limit || q - 2 < 1)
            break;
        q -= 2;
    }
    if (quality)
        *quality = q;
    return stream;
}

QByteArray EncodeWithinLimit(const QImage& picture) {
    return EncodeWithinLimit(picture, kUploadLimit, EncodeJpeg);
}

}  // namespace upload
