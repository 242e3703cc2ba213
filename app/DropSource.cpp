#include "app/DropSource.h"

#include <QClipboard>
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

TDropSource::TDropSource(QObject* Owner) : QObject(Owner)
{
    RunDrag = [](QDrag* Drag, Qt::DropActions Allowed) { return Drag->exec(Allowed, Qt::CopyAction); };
}

Qt::DropActions TDropSource::AllowedActions(bool CopyOnly) const
{
    if (CopyOnly)
        return Qt::CopyAction;
    Qt::DropActions allowed;
    if (Dragtypes & dtCopy)
        allowed |= Qt::CopyAction;
    if (Dragtypes & dtMove)
        allowed |= Qt::MoveAction;
    if (Dragtypes & dtLink)
        allowed |= Qt::LinkAction;
    return allowed;
}

TDragResult TDropSource::ResultOf(Qt::DropAction Action, Qt::DropActions Allowed)
{
    if (Action == Qt::IgnoreAction || !(Allowed & Action))
        return DragCancelled;
    if (Action == Qt::CopyAction)
        return DragCopied;
    if (Action == Qt::MoveAction)
        return DragMoved;
    if (Action == Qt::LinkAction)
        return DragLinked;
    return DragCancelled;
}

TDragResult TDropSource::StartDrag(bool CopyOnly)
{
    const Qt::DropActions allowed = AllowedActions(CopyOnly);
    // Owned by this source until the drag is over; Qt deletes it with its parent.
    auto* drag = new QDrag(this);
    drag->setMimeData(MakeData());
    if (ShowImage && !Image.isNull()) {
        drag->setPixmap(Image);
        drag->setHotSpot(QPoint(ImageHotSpotX, ImageHotSpotY));
    }
    FLastEffect = 0;
    connect(drag, &QDrag::actionChanged, this, [this](Qt::DropAction Action) {
        FLastEffect = int(Action);
        bool useDefault = true;
        if (OnFeedback)
            OnFeedback(this, FLastEffect, useDefault);
    });
    const Qt::DropAction action = RunDrag(drag, allowed);
    drag->deleteLater();
    return ResultOf(action, allowed);
}

namespace {

QList<QUrl> urlsOf(const std::vector<std::string>& Files)
{
    QList<QUrl> urls;
    for (const std::string& f : Files)
        // Built from the name's bytes, which need not be UTF-8.
        urls.push_back(QUrl::fromEncoded("file://" + QByteArray::fromStdString(f).toPercentEncoding("/")));
    return urls;
}

}  // namespace

QMimeData* TDropFileSource::MakeData() const
{
    auto* data = new QMimeData;
    data->setUrls(urlsOf(Files));
    return data;
}

bool TDropFileSource::PutFilesOnClipboard() const
{
    if (Files.empty())
        return false;
    auto* data = new QMimeData;
    const QList<QUrl> urls = urlsOf(Files);
    data->setUrls(urls);
    QByteArray copied = "copy";
    QStringList paths;
    for (const QUrl& u : urls) {
        copied += "\n" + u.toEncoded();
        paths.push_back(u.toLocalFile());
    }
    data->setData(QStringLiteral("x-special/gnome-copied-files"), copied);
    data->setText(paths.join(QLatin1Char('\n')));
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}
