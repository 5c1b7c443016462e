// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The measures behind Review, each on the photo's OpenCV images: shared by
// review.cpp and wall.cpp, not part of the library's face.
#include <QRect>

#include <opencv2/core.hpp>

#include <array>
#include <optional>

namespace review {

// A histogram of levels 0 to 255, and the median of its `total` counts.
using Histogram = std::array<int, 256>;
inline int MedianOf(const Histogram& counts, int total) {
    int below = 0;
    for (int v = 0; v < 256; ++v) {
        below += counts[size_t(v)];
        if (below * 2 >= total)
            return v;
    }
    return 255;
}

// The pixels of the wall the photo shows beside and above the head, as a
// mask of the photo's size (255 on the wall).
cv::Mat WallMask(cv::Size photo, const QRect& face, const std::optional<QRect>& head);

// How the wall looks: its median brightness (its brightest channel), and
// the shares of its pixels on an edge and off its usual colour.
struct WallLook {
    double light;
    double edges;
    double colours;
};
WallLook LookAtWall(const cv::Mat& bgr, const cv::Mat& grey, const cv::Mat& wall);

}  // namespace review
