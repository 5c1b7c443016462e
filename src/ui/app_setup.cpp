#include "ui/app_setup.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QStyleFactory>

#include "ui/main_window.h"
#include "ui/window_font.h"

void SetUpApplication(QApplication& app) {
    // One style everywhere, so the window looks the same on every desktop.
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The application title; the display name is left unset, as Qt would
    // append it to every window title on X11.
    QApplication::setApplicationName(kAppTitle);
    QApplication::setFont(WindowFont(12));
    // Qt's JPEG reader (used for the EXIF tag only) repeats libjpeg's
    // warnings about damaged files, which the tool already handles.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
}
