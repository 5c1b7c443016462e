// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The upload photo's JPEG encoder: fixed libjpeg settings (the library's
// defaults, quality with baseline tables, float DCT), so that the stream is
// byte for byte what `cjpeg -quality Q -dct float -baseline` writes for the
// same pixels, and a loop that picks the highest even quality whose stream
// fits the upload limit.
#include <QByteArray>
#include <QImage>
#include <functional>

namespace upload {

// Bytes of JPEG data the registration service accepts, inclusive.
constexpr int kUploadLimit = 30720;

// The picture (any format) encoded at quality 1..100. A picture of width or
// height 0 gives an empty stream. Throws photo::JpegError ("JPEG error #n")
// when the codec fails; a picture that cannot be converted for want of
// memory is reported the same way, as the codec's out-of-memory error.
QByteArray EncodeJpeg(const QImage& picture, int quality);

using JpegEncoder = std::function<QByteArray(const QImage& picture, int quality)>;

// Tries qualities 100, 98, ..., 2 with `encode` and returns the first stream
// of at most `limit` bytes, else the quality-2 stream. `quality`, when given,
// receives the quality of the returned stream.
QByteArray EncodeWithinLimit(const QImage& picture, int limit, const JpegEncoder& encode,
                             int* quality = nullptr);

// The same with EncodeJpeg and kUploadLimit.
QByteArray EncodeWithinLimit(const QImage& picture);

}  // namespace upload
