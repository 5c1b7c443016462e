#include <QApplication>

#include "ui/window/app_setup.h"
#include "ui/window/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    SetUpApplication(app);
    TForm1 Form1;
    QApplication::setWindowIcon(Form1.windowIcon());
    Form1.show();
    // Active at once, so that Enter opens the open dialog without a click.
    Form1.activateWindow();
    return app.exec();
}
