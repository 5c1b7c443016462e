// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decoding the source photo with libjpeg: the header first, which refuses
// what is not a JPEG, then the pixels.
#include <QByteArray>
#include <QImage>
#include <QSize>

#include <atomic>

namespace photo {

// Hostile headers are refused before anything is allocated for them.
constexpr int kMaxJpegSide = 30000;
constexpr long long kMaxJpegPixels = 200000000;
// A progressive file stops with a failure when scan 1001 starts.
constexpr int kMaxJpegScans = 1000;

// Whether a header claims a size past those limits.
bool IsHostileSize(long long width, long long height);

// Asks the kernel to back a large new buffer, before it is first written,
// with huge pages where it offers them on request: a 12-megapixel photo then
// costs some twenty page faults instead of nine thousand.
void PreferHugePages(void* data, qsizetype bytes);

struct JpegHeader {
    int width = 0, height = 0;       // as stored in the file
    int components = 0;              // 1, 3 or 4
    bool grayscale = false;
    bool progressive = false;
    int orientation = 1;             // EXIF 1..8
    QSize UprightSize() const;       // width/height swapped for orientations 5..8
};

// Parses the header only. Throws JpegError ("JPEG error #n") when libjpeg
// cannot read it, std::runtime_error for a hostile size or an unsupported
// number of components.
JpegHeader ReadJpegHeader(const QByteArray& file);

// Whether libjpeg reads a usable header from the bytes (never throws).
bool IsReadableJpeg(const QByteArray& file);

// Full decode at full size (float DCT, block smoothing, fancy upsampling),
// turned upright for the file's EXIF orientation: Format_RGB888 for three and four components (CMYK and YCCK
// converted as inverted CMYK), Format_Indexed8 with a 236-colour table,
// Floyd-Steinberg dithered, for one component. A truncated file decodes what
// it holds. `percent`, when given, follows the decode from 0 to 100; once
// `stop` is set the decode ends with Stopped. Throws JpegError,
// std::bad_alloc when memory runs out, or std::runtime_error for a hostile
// size or too many scans.
QImage DecodeJpeg(const QByteArray& file, std::atomic<int>* percent = nullptr,
                  const std::atomic<bool>* stop = nullptr);
// The same for an orientation already read from the file's header.
QImage DecodeJpeg(const QByteArray& file, int orientation, std::atomic<int>* percent = nullptr,
                  const std::atomic<bool>* stop = nullptr);

// The decoded source photo of the window: the file's bytes, its header facts,
// and the pixels decoded once on first use.
class SourcePhoto {
public:
    SourcePhoto() = default;                // empty: no bytes, no header
    // Keeps (shares) the bytes, then parses the header; throws when it is not
    // a JPEG (the bytes stay, HasHeader() false).
    void Load(const QByteArray& file);
    bool HasHeader() const;
    const JpegHeader& Header() const;
    QSize Size() const;                     // upright natural size; QSize(0,0) without a valid header
    // Decodes on the first call and keeps the result; throws on failure
    // (and tries again next call). `percent` and `stop` as for DecodeJpeg;
    // the orientation is the header's, read once.
    const QImage& Pixels(std::atomic<int>* percent = nullptr, const std::atomic<bool>* stop = nullptr);
    bool IsDecoded() const;
    const QByteArray& Bytes() const;

private:
    QByteArray bytes_;
    JpegHeader header_;
    bool has_header_ = false;
    QImage pixels_;
    bool decoded_ = false;
};

}  // namespace photo
