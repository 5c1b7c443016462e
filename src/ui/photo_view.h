#pragma once
#include <QImage>
#include <QWidget>

// The working photo. Its picture is one of three things:
// - none;
// - empty: a rendering of size 0 x 0 (the control keeps its size and place);
// - a decoded raster, shared (never copied), shown at a scale.
// The rendering is never built whole: a paint samples only the visible part
// through workspace::RenderRegion, drawn 1:1 (no Qt scaling).
// Mouse presses, moves and releases of any button are passed on with the
// pointer relative to the control.
class PhotoView : public QWidget {
    Q_OBJECT
public:
    explicit PhotoView(QWidget* parent);

    // Shows `source` at `scale`. The rendering size is
    // workspace::ScaledSize(source.size(), scale); when both its sides are
    // positive the control takes that size and keeps its left and top,
    // otherwise it keeps its geometry.
    void SetPicture(const QImage& source, double scale);
    void ClearPicture();
    bool HasPicture() const { return hasPicture_; }
    const QImage& Source() const { return source_; }
    double Scale() const { return scale_; }
    QSize PictureSize() const { return pictureSize_; }

signals:
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseMoved(Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool hasPicture_ = false;
    QImage source_;
    double scale_ = 1.0;
    QSize pictureSize_{0, 0};
};
