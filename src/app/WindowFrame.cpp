// The window's size on the screen: it opens inside the screen's free area, whatever size the
// settings remember, and keeps the size the user gave it.

#include "app/Window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <algorithm>

#include "ui_Window.h"

void Window::fitIntoScreen()
{
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return;
    const QRect free = where->availableGeometry();
    // Room for the title bar and borders the window manager adds around the window.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize decoration = frame.isEmpty() ? QSize(8, 32) : frame;
    const QSize room = free.size() - decoration;
    if (width() > room.width() || height() > room.height())
        resize(size().boundedTo(room));
    QRect placed = geometry();
    if (!free.contains(placed)) {
        placed.moveLeft(std::clamp(placed.left(), free.left(), std::max(free.left(), free.right() - width())));
        placed.moveTop(std::clamp(placed.top(), free.top(), std::max(free.top(), free.bottom() - height())));
        move(placed.topLeft());
    }
}

void Window::keepSliceViewFromGrowingWindow()
{
    // A label's smallest size is its picture's: a layer image would push the window past the
    // screen. The picture is scaled to the label instead.
    ui->labelSliceView->setMinimumSize(1, 1);
    ui->labelSliceView->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}
