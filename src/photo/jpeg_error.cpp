// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo/jpeg_error.h"

#include <jerror.h>

#include <new>
#include <string>

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

}  // namespace

jpeg_error_mgr* JpegErrorManager::Install() {
    jpeg_std_error(&pub);
    pub.error_exit = JumpToCaller;
    pub.emit_message = IgnoreMessage;
    pub.output_message = IgnoreOutput;
    return &pub;
}

}  // namespace photo
