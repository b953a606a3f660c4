// A PictureView of an OpenCV picture, for the callers that hold their pictures as cv::Mat (the
// command-line tool, tests, benchmarks); the checker's own interface stays free of OpenCV.
//
// Threading: pure.
#pragma once

#include "portrait/PortraitCheck.h"

#include <opencv2/core.hpp>

#include <cstdint>

namespace portrait {

// The view borrows the picture's pixels: the picture must outlive it.
inline PictureView viewOfMat(const cv::Mat& picture, uint64_t savedBytes = 0)
{
    PictureView view;
    view.pixels = picture.data;
    view.width = picture.cols;
    view.height = picture.rows;
    view.stride = static_cast<int>(picture.step[0]);
    view.channels = picture.channels();
    view.savedBytes = savedBytes;
    return view;
}

} // namespace portrait
