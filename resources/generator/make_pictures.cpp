// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the window's pictures: the banner, the usage instructions, the four
// button faces and the icon. Run it with the output folder as its argument.
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QRadialGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <cstdio>

namespace {

const QString kTitle = QStringLiteral("报名照片制作");
const QString kSubtitle = QStringLiteral("exam-photo");

QFont Font(int pixels, bool bold = false) {
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QImage Canvas(int w, int h, const QColor& fill = Qt::white) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

// Faces are drawn opaque: olive would be the transparent colour of a face,
// so it is nudged away should anti-aliasing ever produce it.
bool Save(QImage img, const QString& folder, const QString& name) {
    img = img.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == QColor(128, 128, 0))
                img.setPixelColor(x, y, QColor(128, 128, 1));
    const QString path = QDir(folder).filePath(name);
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

void RoundedBar(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(bottom.darker(130), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    // A soft gloss on the upper half.
    QRectF gloss(r.left() + 4, r.top() + 2, r.width() - 8, r.height() / 2 - 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawRoundedRect(gloss, gloss.height() / 2, gloss.height() / 2);
}

// A white circle with an arrow pointing right (or left for `back`).
void ArrowCircle(QPainter& p, const QPointF& c, qreal radius, const QColor& arrow, bool back) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(c, radius, radius);
    const qreal s = back ? -1 : 1;
    QPainterPath path;
    path.moveTo(c.x() - s * radius * 0.55, c.y() - radius * 0.2);
    path.lineTo(c.x() + s * 0.05 * radius, c.y() - radius * 0.2);
    path.lineTo(c.x() + s * 0.05 * radius, c.y() - radius * 0.55);
    path.lineTo(c.x() + s * radius * 0.62, c.y());
    path.lineTo(c.x() + s * 0.05 * radius, c.y() + radius * 0.55);
    path.lineTo(c.x() + s * 0.05 * radius, c.y() + radius * 0.2);
    path.lineTo(c.x() - s * radius * 0.55, c.y() + radius * 0.2);
    path.closeSubpath();
    p.setBrush(arrow);
    p.drawPath(path);
}

void Label(QPainter& p, const QRectF& r, const QString& text, int pixels, int flags = Qt::AlignCenter) {
    p.setFont(Font(pixels, true));
    p.setPen(QColor(0, 0, 0, 70));
    p.drawText(r.translated(1, 1), flags, text);
    p.setPen(Qt::white);
    p.drawText(r, flags, text);
}

QImage Banner() {
    QImage img = Canvas(940, 73);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 73);
    g.setColorAt(0, QColor(20, 150, 40));
    g.setColorAt(1, QColor(0, 110, 20));
    p.fillRect(img.rect(), g);
    // A light rule under the title and a soft glow on the right.
    p.fillRect(QRect(0, 70, 940, 3), QColor(120, 200, 120));
    QRadialGradient glow(QPointF(760, 36), 260);
    glow.setColorAt(0, QColor(255, 255, 255, 55));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(img.rect(), glow);
    p.setPen(Qt::white);
    p.setFont(Font(30, true));
    p.drawText(QRectF(22, 0, 400, 52), Qt::AlignLeft | Qt::AlignVCenter, kTitle);
    p.setFont(Font(14));
    p.drawText(QRectF(24, 44, 500, 24), Qt::AlignLeft | Qt::AlignVCenter,
               kSubtitle + QStringLiteral("  考试报名标准照片：缩放、裁剪、压缩"));
    return img;
}

QImage Instructions() {
    QImage img = Canvas(347, 169);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QTextDocument doc;
    doc.setDefaultFont(Font(12));
    doc.setDocumentMargin(0);
    doc.setTextWidth(347 - 16 - 4);
    const QString red = QStringLiteral("<span style='color:#ff0000'>%1</span>");
    doc.setHtml(QStringLiteral(
                    "<div style='line-height:135%'>"
                    "<b style='font-size:13px'>使用方法：</b><br>"
                    "1、点击“读取照片”按钮，读取原始照片（大于8K、清晰的标准人像JPG文件）。<br>"
                    "2、用%1缩放照片，使照片大小适合绿色相框。<br>"
                    "3、用鼠标%2照片，使照片位置适合绿色相框。<br>"
                    "4、点击“裁剪”按钮，把照片裁剪到右侧的标准照片框中。<br>"
                    "5、点击“另存为”按钮，把照片保存为可以上传的格式。"
                    "</div>")
                    .arg(red.arg(QStringLiteral("图像缩放滑块")), red.arg(QStringLiteral("拖动"))));
    p.translate(16, 6);
    doc.drawContents(&p);
    return img;
}

QImage BlueButton(const QString& text, bool back) {
    QImage img = Canvas(110, 33);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    RoundedBar(p, QRectF(1.5, 1.5, 107, 30), QColor(90, 160, 240), QColor(20, 80, 180));
    ArrowCircle(p, QPointF(18, 16.5), 10, QColor(30, 100, 200), back);
    Label(p, QRectF(32, 0, 72, 33), text, 15);
    return img;
}

QImage CropButton() {
    QImage img = Canvas(85, 33);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    RoundedBar(p, QRectF(1.5, 1.5, 82, 30), QColor(90, 200, 90), QColor(20, 130, 30));
    Label(p, QRectF(10, 0, 42, 33), QStringLiteral("裁剪"), 15);
    ArrowCircle(p, QPointF(64, 16.5), 9, QColor(30, 140, 40), false);
    return img;
}

QImage ExitButton() {
    QImage img = Canvas(84, 50);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A tag: rounded body, a punched hole, and its top-right corner turned up.
    QPainterPath tag;
    tag.moveTo(6, 8);
    tag.lineTo(64, 8);
    tag.lineTo(78, 20);
    tag.lineTo(78, 42);
    tag.quadTo(78, 46, 74, 46);
    tag.lineTo(10, 46);
    tag.quadTo(6, 46, 6, 42);
    tag.closeSubpath();
    QLinearGradient g(0, 8, 0, 46);
    g.setColorAt(0, QColor(240, 60, 50));
    g.setColorAt(1, QColor(180, 10, 10));
    p.setPen(QPen(QColor(140, 0, 0), 1));
    p.setBrush(g);
    p.drawPath(tag);
    QPainterPath fold;
    fold.moveTo(64, 8);
    fold.lineTo(64, 20);
    fold.lineTo(78, 20);
    fold.closeSubpath();
    p.setBrush(QColor(255, 170, 160));
    p.drawPath(fold);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(14, 17), 3, 3);
    Label(p, QRectF(14, 16, 62, 30), QStringLiteral("退出!"), 17);
    return img;
}

QImage Icon() {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 100, 200));
    p.drawRoundedRect(QRectF(3, 1, 26, 30), 3, 3);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 12), 5.5, 6.5);
    QPainterPath shoulders;
    shoulders.moveTo(6, 29);
    shoulders.cubicTo(6, 19, 26, 19, 26, 29);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
    p.setPen(QPen(QColor(0, 160, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2, 0.5, 28, 31));
    return img;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-pictures <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    if (!QFontDatabase::hasFamily(QStringLiteral("WenQuanYi Micro Hei")))
        std::fprintf(stderr, "warning: font WenQuanYi Micro Hei not installed, a substitute is used\n");
    bool ok = Save(Banner(), out, QStringLiteral("banner.png"));
    ok = Save(Instructions(), out, QStringLiteral("instructions.png")) && ok;
    ok = Save(BlueButton(QStringLiteral("读取照片"), false), out, QStringLiteral("read_photo.png")) && ok;
    ok = Save(BlueButton(QStringLiteral("另存为"), true), out, QStringLiteral("save_as.png")) && ok;
    ok = Save(CropButton(), out, QStringLiteral("crop.png")) && ok;
    ok = Save(ExitButton(), out, QStringLiteral("exit.png")) && ok;
    ok = Icon().save(QDir(out).filePath(QStringLiteral("icon.png")), "PNG") && ok;
    return ok ? 0 : 1;
}
