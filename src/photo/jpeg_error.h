// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// libjpeg's error handling, shared by the decoder and the encoder: warnings are
// dropped and an error jumps back to the caller instead of ending the process.
#include <atomic>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <stdexcept>

#include <jpeglib.h>

namespace photo {

// A codec failure, with libjpeg's message code.
class JpegError : public std::runtime_error {
public:
    explicit JpegError(int code);
    int code() const { return code_; }

private:
    int code_;
};

// What a libjpeg error code means for the caller: std::bad_alloc when the
// codec ran out of memory, JpegError otherwise.
[[noreturn]] void ThrowJpegError(int code);

// A decode that was asked to stop before it was done.
class Stopped : public std::runtime_error {
public:
    Stopped() : std::runtime_error("stopped") {}
};

// Put one of these on the stack, call Install() before jpeg_create_*, then
// `if (setjmp(mgr.jump)) { ...destroy...; ThrowJpegError(mgr.code); }`.
// Between setjmp and the library calls keep only trivially destructible locals.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int code = 0;

    jpeg_error_mgr* Install();
};

// Put in JpegErrorManager::code by a decode's watch; libjpeg's own codes
// are >= 0.
constexpr int kTooManyScansCode = -1;
constexpr int kStoppedCode = -2;

// What watches a decode as libjpeg absorbs its input (set it as the
// decompressor's `progress`; its error manager must be a JpegErrorManager).
// A file with endless scans would otherwise spin for minutes, and a multi-scan
// file is read whole before its first row: the watch ends the decode past
// kMaxJpegScans, or once `stop` is set, by the error manager's jump with
// kTooManyScansCode or kStoppedCode. `percent`, when given, follows the decode.
struct DecodeWatch : jpeg_progress_mgr {
    std::atomic<int>* percent = nullptr;
    const std::atomic<bool>* stop = nullptr;
    DecodeWatch();
};

// Frees a decompressor's memory however the decode ends; a never-created
// (zeroed) decompressor is fine too.
class DecompressorGuard {
public:
    explicit DecompressorGuard(jpeg_decompress_struct& cinfo) : cinfo_(cinfo) {}
    ~DecompressorGuard() { jpeg_destroy_decompress(&cinfo_); }
    DecompressorGuard(const DecompressorGuard&) = delete;
    DecompressorGuard& operator=(const DecompressorGuard&) = delete;

private:
    jpeg_decompress_struct& cinfo_;
};

}  // namespace photo
