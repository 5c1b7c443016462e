// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QRect>
#include <QTimer>
#include <QWidget>

// The zoom slider: an integer position -20..20 on a horizontal track with a
// box-shaped thumb. Press, repeat, drag and keys are handled here because
// QSlider's defaults differ in each (page step, repeat timing, jumps, wheel,
// middle button, rounding, keypad keys).
//
// - SetPosition clamps and emits changed() exactly when the stored value
//   changes, whether the user or the program sets it (ShowPosition, for a
//   zoom already made, emits nothing);
// - dragging the thumb with the left button maps the thumb's place onto the
//   range, halves rounded to even, clamped;
// - a left press on the track beside the thumb steps once toward the pointer
//   at once, again after 200 ms and then every 100 ms until the thumb has
//   reached the pointer or the button is released;
// - keys: Left, Down, keypad minus -1; Right, Up, keypad plus +1; Page Up +1,
//   Page Down -1; Home the minimum, End the maximum;
// - the wheel and the middle button do nothing; a left press takes the focus.
class ZoomSlider : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimum = -20;
    static constexpr int kMaximum = 20;
    static constexpr int kPageSize = 1;
    static constexpr int kRepeatDelayMs = 200;
    static constexpr int kRepeatIntervalMs = 100;
    static constexpr int kThumbWidth = 11;
    static constexpr int kThumbHeight = 21;
    static constexpr int kMargin = 5;  // between the widget's ends and the thumb's travel

    explicit ZoomSlider(QWidget* parent);

    int Position() const { return position_; }
    void SetPosition(int position);
    // Shows a position the program has already zoomed to: no changed().
    void ShowPosition(int position);

    // Ends a held press on the track (and a thumb drag): no further step.
    void StopRepeat();

    // Where the thumb is drawn for the current position.
    QRect ThumbRect() const;
    // The thumb's left edge for a position, and the position for a thumb
    // whose left edge lies at `left` (rounded half to even, clamped).
    int ThumbLeftFor(int position) const;
    int PositionForThumbLeft(int left) const;
    // The delay until the next repeated step of a held track press, or -1
    // when none is pending.
    int PendingRepeatMs() const;

signals:
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int Travel() const;
    bool ThumbReachedPointer() const;
    void StepTowardPointer();
    void RepeatStep();

    int position_ = 0;
    bool dragging_ = false;
    int grab_ = 0;  // pointer x minus thumb left at the start of a drag
    bool trackPressed_ = false;
    int direction_ = 0;
    int pointerX_ = 0;
    QTimer repeat_;
};
