// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes a kept upload file as a resumed batch takes it: the tag check that
// tells a whole upload file from anything else, then, for a whole one, the
// judgement it is kept with (the face check and the head's measure on the
// JPEG data before the tag, and the reviewer's findings). Beyond a sanitizer
// report, a hang or an escaping exception, a kept file that stops the run
// (the cascades lie beside this program), or that is neither done before
// nor told to need a person with a reason, is a finding.
#include <cstddef>
#include <cstdint>
#include <exception>

#include <QByteArray>

#include "batch/photo_job.h"
#include "export/upload_file.h"
#include "face/face_check.h"
#include "fuzz_checks.h"
#include "photo/jpeg_decoder.h"

namespace {

// An upload photo is 200 x 280. JPEG data up to a megapixel are judged,
// larger ones not: a face search over a large photo costs a second an input.
constexpr long long kMaxKeptPixels = 1000000;

bool TooLargeToJudge(const QByteArray& jpeg) {
    try {
        const photo::JpegHeader header = photo::ReadJpegHeader(jpeg);
        return static_cast<long long>(header.width) * header.height > kMaxKeptPixels;
    } catch (const std::exception&) {
        return false;  // judged all the same: the face check says it cannot read it
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One thread, as a batch runs the check; the machine's other core is
    // another fuzzer's.
    static face::SearchOnOneThread oneThread;
    fuzz::QuietJpegWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray file = fuzz::Input(data, size);
    if (!upload::IsUploadFile(file))
        return 0;
    if (TooLargeToJudge(file.chopped(upload::kTagLength)))
        return 0;
    const batch::PhotoOutcome kept = batch::KeptPhoto(file);
    fuzz::Expect(!kept.stopFailure);
    fuzz::Expect((kept.result == batch::PhotoOutcome::DoneBefore && kept.reason.isEmpty()) ||
                 (kept.result == batch::PhotoOutcome::NeedsPerson && !kept.reason.isEmpty()));
    return 0;
}
