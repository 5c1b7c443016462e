// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/window_font.h"

#include <QFontDatabase>
#include <QStringList>

QFont WindowFont(int pixelSize) {
    static const QString family = [] {
        const QStringList wanted = {QStringLiteral("宋体"), QStringLiteral("SimSun"),
                                    QStringLiteral("WenQuanYi Micro Hei"),
                                    QStringLiteral("Noto Sans CJK SC"),
                                    QStringLiteral("Noto Sans SC")};
        for (const QString& name : wanted)
            if (QFontDatabase::hasFamily(name))
                return name;
        return QStringLiteral("宋体");  // let fontconfig find a substitute
    }();
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
