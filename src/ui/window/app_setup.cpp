// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/app_setup.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QSettings>
#include <QStyleFactory>

#include "texts/texts.h"
#include "ui/window/window_font.h"

void SetUpApplication(QApplication& app) {
    // One style everywhere, so the window looks the same on every desktop.
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The application title; the display name is left unset, as Qt would
    // append it to every window title on X11.
    QApplication::setApplicationName(texts::kAppTitle);
    QApplication::setFont(WindowFont(12));
    // The tool keeps no settings. Qt's file dialog would read and write
    // QtProject.conf (history, last folder, view) in the user's settings; a
    // settings folder that cannot exist makes every such read find nothing
    // and every write fail quietly.
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    // Qt's JPEG reader (used for the EXIF tag only) repeats libjpeg's
    // warnings about damaged files, which the tool already handles.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
}
