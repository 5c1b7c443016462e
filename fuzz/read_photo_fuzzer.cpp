// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the read path from a file's bytes to the upright decoded source
// photo: the header (with its size and component checks and the EXIF tag),
// then the full decode and the turn, as the read handler and the first
// drawing of the photo do. Every failure that the read handler catches is an
// expected outcome here; anything else (a sanitizer report, an exception of
// another kind, a hang, an absurd allocation) is a finding.
#include <cstddef>
#include <cstdint>
#include <exception>

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include "fuzz_checks.h"
#include "photo/jpeg_decoder.h"
#include "photo/orientation.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Qt's image plugins (the EXIF tag is read through Qt's JPEG reader) are
    // found through the application object, as in the tool.
    static QCoreApplication app(*argc, *argv);
    fuzz::QuietJpegWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::Input(data, size);

    photo::SourcePhoto source;
    try {
        source.Load(bytes);
    } catch (const std::exception&) {
        // Not a JPEG, or a refused header: the file's bytes stay, undecodable,
        // and a second try must fail the same way.
        fuzz::Expect(!source.HasHeader() && source.Size() == QSize(0, 0));
        try {
            source.Pixels();
            fuzz::Expect(false);
        } catch (const std::exception&) {
        }
        return 0;
    }

    const photo::JpegHeader& header = source.Header();
    fuzz::Expect(header.width > 0 && header.height > 0 && header.orientation >= 1 && header.orientation <= 8 &&
                 photo::ReadOrientation(bytes) == header.orientation);
    if (static_cast<long long>(header.width) * header.height > fuzz::kMaxPixels)
        return 0;

    try {
        const QImage& image = source.Pixels();
        // The decoded photo has the size the header promised, upright.
        fuzz::Expect(image.size() == source.Size());
        fuzz::Expect(image.format() == (header.grayscale ? QImage::Format_Indexed8 : QImage::Format_RGB888));
    } catch (const std::exception&) {
    }
    return 0;
}
