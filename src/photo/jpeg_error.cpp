// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo/jpeg_error.h"

#include <jerror.h>

#include <algorithm>
#include <new>
#include <string>

#include "photo/jpeg_decoder.h"

namespace photo {

JpegError::JpegError(int code)
    : std::runtime_error("libjpeg error " + std::to_string(code)), code_(code) {}

void ThrowJpegError(int code) {
    if (code == JERR_OUT_OF_MEMORY)
        throw std::bad_alloc();
    throw JpegError(code);
}

namespace {

[[noreturn]] void JumpToCaller(j_common_ptr cinfo) {
    auto* mgr = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    mgr->code = cinfo->err->msg_code;
    std::longjmp(mgr->jump, 1);
}

// The tool keeps no log: warnings and trace messages go nowhere.
void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

void Watch(j_common_ptr common) {
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    auto* watch = static_cast<DecodeWatch*>(common->progress);
    const bool stopped = watch->stop && watch->stop->load();
    if (stopped || cinfo->input_scan_number > kMaxJpegScans) {
        auto* err = reinterpret_cast<JpegErrorManager*>(common->err);
        err->code = stopped ? kStoppedCode : kTooManyScansCode;
        std::longjmp(err->jump, 1);
    }
    if (watch->percent && watch->pass_limit > 0 && watch->total_passes > 0) {
        const double done = watch->completed_passes + double(watch->pass_counter) / watch->pass_limit;
        *watch->percent = std::min(100, int(100 * done / watch->total_passes));
    }
}

}  // namespace

DecodeWatch::DecodeWatch() : jpeg_progress_mgr{} {
    progress_monitor = Watch;
}

jpeg_error_mgr* JpegErrorManager::Install() {
    jpeg_std_error(&pub);
    pub.error_exit = JumpToCaller;
    pub.emit_message = IgnoreMessage;
    pub.output_message = IgnoreOutput;
    return &pub;
}

}  // namespace photo
