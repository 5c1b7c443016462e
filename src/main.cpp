#include <QApplication>
#include <QStyleFactory>

#include "ui/main_window.h"
#include "ui/window_font.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // One style everywhere, so the window looks the same on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The application title; the display name is left unset, as Qt would
    // append it to every window title on X11.
    QApplication::setApplicationName(kAppTitle);
    QApplication::setFont(WindowFont(12));
    TForm1 Form1;
    QApplication::setWindowIcon(Form1.windowIcon());
    Form1.show();
    return app.exec();
}
