#include "controls/dialogs/CoolDlg.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QList>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

#include "util/MainWindowHost.h"

namespace controls {

namespace {
// Lives for the process: the next dialog opens this much larger than its first size.
QSize g_extra(0, 0);
}  // namespace

TCoolGrip::TCoolGrip(QWidget* Dialog) : QSizeGrip(Dialog)
{
    setFixedSize(16, 16);
    setCursor(Qt::SizeFDiagCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    Place();
    show();
    raise();
}

void TCoolGrip::Place()
{
    if (QWidget* p = parentWidget())
        move(p->width() - width(), p->height() - height());
}

QSize TCoolOpenDialog::RememberedExtra()
{
    return g_extra;
}

void TCoolOpenDialog::ForgetExtra()
{
    g_extra = QSize(0, 0);
}

// Watches the shown dialog: takes its first size, opens it larger by the remembered extra,
// places it, keeps the grip in its corner and reports every re-layout.
class TCoolOpenDialog::TWatcher : public QObject {
public:
    TWatcher(TCoolOpenDialog& Owner, QFileDialog& Dialog) : owner_(Owner), dialog_(Dialog) {}

    QSize Initial;
    TCoolGrip* Grip = nullptr;

    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Watched != &dialog_)
            return false;
        if (Event->type() == QEvent::Show && !shown_) {
            shown_ = true;
            Initial = dialog_.size();
            dialog_.setMinimumSize(Initial);
            if (g_extra.width() > 0 || g_extra.height() > 0)
                dialog_.resize(Initial + g_extra.expandedTo(QSize(0, 0)));
            owner_.Position(dialog_);
        } else if (Event->type() == QEvent::Resize && shown_) {
            // The dialog's layout has already been given the new size by now.
            if (Grip != nullptr)
                Grip->Place();
            owner_.Resized(dialog_);
        }
        return false;
    }

private:
    TCoolOpenDialog& owner_;
    QFileDialog& dialog_;
    bool shown_ = false;
};

namespace {

// Home and the user's folders that exist, each once.
QList<QUrl> places()
{
    QList<QUrl> urls;
    const QStandardPaths::StandardLocation kinds[] = {
        QStandardPaths::HomeLocation,     QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation,
        QStandardPaths::MusicLocation,    QStandardPaths::PicturesLocation, QStandardPaths::MoviesLocation,
        QStandardPaths::DownloadLocation,
    };
    for (const auto kind : kinds) {
        const QString path = QStandardPaths::writableLocation(kind);
        if (path.isEmpty() || !QDir(path).exists())
            continue;
        const QUrl url = QUrl::fromLocalFile(path);
        if (!urls.contains(url))
            urls << url;
    }
    return urls;
}

}  // namespace

int TCoolOpenDialog::Run(QFileDialog& Dialog)
{
    if (PlaceBar)
        Dialog.setSidebarUrls(places());
    Dialog.setSizeGripEnabled(false);  // ours stands in its place
    TWatcher watcher(*this, Dialog);
    watcher.Grip = new TCoolGrip(&Dialog);
    Dialog.installEventFilter(&watcher);
    const int result = Dialog.exec();
    Dialog.removeEventFilter(&watcher);
    if (watcher.Initial.isValid())
        g_extra = Dialog.size() - watcher.Initial;
    delete watcher.Grip;
    return result;
}

void TCoolOpenDialog::Position(QDialog& Dialog)
{
    QScreen* screen = nullptr;
    if (TMainWindowHost* host = MainWindowHost(); host != nullptr && host->MainWindow() != nullptr)
        screen = host->MainWindow()->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    const QSize frame = Dialog.frameGeometry().size();
    const int w = frame.width(), h = frame.height();
    int x = 0, y = 0;
    if (screen != nullptr) {
        const QRect area = screen->geometry();
        x = area.left() + (area.width() - w) / 2;
        y = area.top() + (area.height() - h) / 3;
    }
    if (OnSettingPos)
        OnSettingPos(*this, x, y, w, h);
    Dialog.move(x, y);
}

}  // namespace controls
