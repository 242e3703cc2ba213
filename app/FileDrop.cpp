#include "app/FileDrop.h"

#include "platform/forms/Application.h"
#include "platform/forms/Form.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

TFileDrop::TFileDrop(QObject* Owner) : QObject(Owner) {}

TFileDrop::~TFileDrop()
{
    Unhook();
}

void TFileDrop::SetAccept(bool Value)
{
    if (Value == FAccept)
        return;
    FAccept = Value;
    if (FTarget)
        FTarget->setAcceptDrops(FAccept);
}

void TFileDrop::SetControl(QWidget* Value)
{
    Unhook();
    disconnect(FControlGone);
    FControl = Value;
    if (Value)
        FControlGone = connect(Value, &QObject::destroyed, this, [this] {
            FControl = nullptr;
            FTarget = nullptr;
            FAccept = false;
        });
    Hook();
}

void TFileDrop::Loaded()
{
    Hook();
}

void TFileDrop::Hook()
{
    QWidget* target = FControl;
    if (!target) {
        target = dynamic_cast<forms::TForm*>(parent());
        if (!target)
            throw EFileDropError("Invalidate Window Handle in FileDrop");
    }
    FTarget = target;
    target->installEventFilter(this);
    target->setAcceptDrops(FAccept);
}

void TFileDrop::Unhook()
{
    if (FTarget) {
        FTarget->removeEventFilter(this);
        FTarget->setAcceptDrops(false);
    }
    FTarget = nullptr;
}

std::vector<std::string> TFileDrop::LocalFiles(const QMimeData* Data)
{
    std::vector<std::string> files;
    if (!Data || !Data->hasUrls())
        return files;
    for (const QUrl& url : Data->urls())
        if (url.isLocalFile()) {
            // The name's bytes as the list carried them: names unzipped from old archives are
            // not UTF-8, and decoding them as text would name another (missing) file.
            QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
            if (!url.host().isEmpty())
                path.prepend("//" + url.host().toUtf8());
            if (!path.isEmpty())
                files.push_back(path.toStdString());
        }
    return files;
}

bool TFileDrop::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched != FTarget.data())
        return false;
    switch (Event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDropEvent*>(Event);
        if (FAccept && !LocalFiles(e->mimeData()).empty() && (e->possibleActions() & Qt::CopyAction)) {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        } else {
            e->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(Event);
        std::vector<std::string> files = LocalFiles(e->mimeData());
        if (!FAccept || files.empty() || !(e->possibleActions() & Qt::CopyAction)) {
            e->ignore();
            return true;
        }
        e->setDropAction(Qt::CopyAction);
        e->accept();
        if (OnFileDrop) {
            const QPoint at = e->position().toPoint();
            forms::RunGuarded([&] { OnFileDrop(this, int(files.size()), files, at.x(), at.y()); });
        }
        return true;
    }
    default:
        return false;
    }
}
