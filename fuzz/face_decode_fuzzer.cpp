// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the face check's own decoder: a file's bytes to the grey image the
// detector searches (and the colour one it reduces from for large photos),
// with the header read first and its EXIF orientation, as the face check
// takes a photo. Where the header is unreadable the decode still runs, as in
// the face check, and must say so by an empty image. Anything but nothing or
// an image of the header's upright size is a finding: a sanitizer report, an
// exception, a hang, grey that is not the grey of the colour image.
#include <cstddef>
#include <cstdint>
#include <exception>

#include <QByteArray>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "face/detector.h"
#include "face/face_check.h"
#include "fuzz_checks.h"
#include "photo/jpeg_decoder.h"
#include "photo/orientation.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One thread, as a batch runs the check; the machine's other core is
    // another fuzzer's.
    static face::SearchOnOneThread oneThread;
    fuzz::QuietJpegWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::Input(data, size);

    photo::JpegHeader header;
    bool known = false;
    try {
        header = photo::ReadJpegHeader(bytes);
        known = true;
    } catch (const std::exception&) {
    }
    if (known) {
        fuzz::Expect(header.orientation == photo::ReadOrientation(bytes));
        if (static_cast<long long>(header.width) * header.height > fuzz::kMaxPixels)
            return 0;
    }

    const cv::Mat grey = face::DecodeUpright(bytes, header.orientation, CV_8UC1);
    const cv::Mat colour = face::DecodeUpright(bytes, header.orientation, CV_8UC3);
    fuzz::Expect(grey.empty() == colour.empty());
    if (grey.empty())
        return 0;
    // A header the tool refuses is no image to search.
    fuzz::Expect(known);
    fuzz::Expect(grey.type() == CV_8UC1 && colour.type() == CV_8UC3 && grey.size() == colour.size());
    fuzz::Expect(grey.cols == header.UprightSize().width() && grey.rows == header.UprightSize().height());
    // Decoded straight to grey, the photo is the grey of its colours.
    cv::Mat greyOfColour;
    cv::cvtColor(colour, greyOfColour, cv::COLOR_BGR2GRAY);
    fuzz::Expect(cv::norm(grey, greyOfColour, cv::NORM_INF) == 0);
    return 0;
}
