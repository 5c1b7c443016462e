// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets share: how a broken promise is reported, how large
// a photo they decode, and quiet.
#include <QByteArray>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Headers up to the tool's own limits (30000 pixels a side, 200 million in
// all) are legal, and a few bytes can claim them: libjpeg then fills the whole
// raster from nothing, which costs a 600 MB image and seconds per input. That
// path is the same at any size and is exercised by the tests at the limits,
// so the targets decode only photos up to this many pixels; the header of
// every input is still read.
constexpr long long kMaxPixels = 4000000;

// A promise of the code under test that an input broke: a trap, which
// libFuzzer and the replay alike report as a crash with its stack.
inline void Expect(bool promise) {
    if (!promise)
        __builtin_trap();
}

// The input as bytes, not copied: a read past its end then hits
// AddressSanitizer's redzone.
inline QByteArray Input(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Qt's JPEG reader (the EXIF tag is read through it) passes libjpeg's
// warnings on; at thousands of inputs a second they would only drown
// libFuzzer's own report.
inline void QuietJpegWarnings() {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
}

}  // namespace fuzz
