#include "ui/photo_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "workspace/zoom.h"

PhotoView::PhotoView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    // Moves are reported with no button held, too.
    setMouseTracking(true);
}

void PhotoView::SetPicture(const QImage& source, double scale) {
    const QSize size = workspace::ScaledSize(source.size(), scale);
    source_ = source;
    scale_ = scale;
    pictureSize_ = size;
    hasPicture_ = true;
    if (size.width() > 0 && size.height() > 0)
        resize(size);
    update();
}

void PhotoView::ClearPicture() {
    source_ = QImage();
    scale_ = 1.0;
    pictureSize_ = QSize(0, 0);
    hasPicture_ = false;
    update();
}

void PhotoView::paintEvent(QPaintEvent* event) {
    if (!hasPicture_ || source_.isNull() || pictureSize_.isEmpty())
        return;
    const QRect region = event->rect() & QRect(QPoint(0, 0), pictureSize_);
    if (region.isEmpty())
        return;
    try {
        const QImage part = workspace::RenderRegion(source_, pictureSize_, region);
        if (part.isNull())
            return;
        QPainter p(this);
        p.drawImage(region.topLeft(), part);
    } catch (...) {
        // Out of memory for this strip: the area stays unpainted rather than
        // a failure escaping from the paint.
    }
}

void PhotoView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    emit mousePressed(event->button(), event->modifiers(), at.x(), at.y());
}

void PhotoView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    emit mouseMoved(event->modifiers(), at.x(), at.y());
}

void PhotoView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    emit mouseReleased(event->button(), event->modifiers(), at.x(), at.y());
}
