// Program entry. For now the main window is an empty frame; it grows into the jukebox.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tambourelle");
    QMainWindow window;
    window.setWindowTitle("Tambourelle");
    window.resize(1023, 736);
    window.show();
    return app.exec();
}
