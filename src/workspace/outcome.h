// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an action of the photo workspace ended in, and how far a long one has
// come. The window turns each outcome into its message box through
// texts::MessageFor.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <exception>

namespace workspace {

enum class Outcome {
    Done,             // nothing to tell the user
    PleaseReadFirst,  // reset or crop without a working photo
    FileTooSmall,     // 8192 bytes or less
    NotAJpeg,         // a file the read cannot use: unreadable, not a JPEG, no decode, no image for the face check
    NoFace,           // the read photo shows no face
    NothingCropped,   // save without a result photo
    BadBackground,    // the border is not plain blue, red or white
    WhiteBottomEdge,  // on white, a bright white bottom row
    NoFaceInResult,   // no face left in the encoded result
    Saved,            // savedName: the saved file's full name
    Failure,          // failure: what failed, for the general failure report
};

struct Result {
    Result(Outcome outcome = Outcome::Done, QString savedName = {}, std::exception_ptr failure = nullptr,
           QByteArray jpeg = {})
        : outcome(outcome), savedName(std::move(savedName)), failure(std::move(failure)), jpeg(std::move(jpeg)) {}

    Outcome outcome = Outcome::Done;
    QString savedName;
    std::exception_ptr failure;
    QByteArray jpeg;  // a prepared upload: the encoded photo

    bool Passed() const { return outcome == Outcome::Done || outcome == Outcome::Saved; }
};

// How far a long step has come, written by the worker, read by the window;
// and whether the window still wants its result (a close says it does not).
struct Progress {
    enum Stage { Reading, Decoding, Faces, Encoding };
    std::atomic<int> stage{Reading};
    std::atomic<int> percent{0};
    std::atomic<bool> stop{false};
};

}  // namespace workspace
