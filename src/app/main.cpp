#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label("Orvell3D 0.78");
    label.show();
    return app.exec();
}
