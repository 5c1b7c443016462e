// The photo workspace handlers: reading a photo, zoom, drag, reset and crop.
#include "ui/main_window.h"

void TForm1::RzBmpButton1Click() {}
void TForm1::RzTrackBar1Change() {}
void TForm1::ZoomImage(double) {}
void TForm1::Label3Click() {}
void TForm1::Image1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {}
void TForm1::Image1MouseMove(Qt::KeyboardModifiers, int, int) {}
void TForm1::Image1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {}
void TForm1::RzBmpButton3Click() {}
