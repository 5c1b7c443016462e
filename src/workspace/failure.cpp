// SPDX-License-Identifier: GPL-3.0-or-later
#include "workspace/failure.h"

#include <new>

#include "export/upload_file.h"
#include "face/face_check.h"
#include "photo/jpeg_error.h"

namespace workspace {

FailureCause CauseOf(const std::exception_ptr& failure) {
    using Kind = FailureCause::Kind;
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return {Kind::NoMemory};
    } catch (const face::CascadeMissing& e) {
        return {Kind::CascadeMissing, e.path()};
    } catch (const face::DetectorFailure& e) {
        return {Kind::Detector, {}, QString::fromStdString(e.what()).trimmed()};
    } catch (const photo::JpegError& e) {
        return {Kind::Codec, {}, {}, e.code()};
    } catch (const upload::FileError& e) {
        const bool created = e.step() == upload::FileError::Step::Create;
        return {created ? Kind::FileCreate : Kind::FileWrite, e.path(), e.reason()};
    } catch (...) {
    }
    return {};
}

}  // namespace workspace
