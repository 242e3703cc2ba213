// Dragging files out of the program: TDropFileSource offers its Files as full paths
// (text/uri-list) to a file manager or another program, limited to the actions of
// Dragtypes, and reports how the drag ended. The drag itself runs through RunDrag, which
// tests replace, since the platform's drag loop needs a real pointer.
#pragma once

#include "app/DropTarget.h"   // dtCopy, dtMove, dtLink

#include <QObject>
#include <QPixmap>
#include <QPoint>

#include <functional>
#include <string>
#include <vector>

class QDrag;
class QMimeData;

enum TDragResult { DragCopied = 0, DragMoved = 1, DragLinked = 2, DragCancelled = 3 };

class TDropSource : public QObject {
public:
    explicit TDropSource(QObject* Owner = nullptr);

    int Dragtypes = dtCopy;
    // Called whenever the target under the pointer proposes another action.
    std::function<void(TDropSource* Sender, int Effect, bool& UseDefaultCursors)> OnFeedback;
    QPixmap Image;   // shown under the pointer during the drag, when ShowImage
    bool ShowImage = true;
    int ImageHotSpotX = 16, ImageHotSpotY = 16;
    // Runs the drag with the allowed actions; returns the action the target took.
    std::function<Qt::DropAction(QDrag* Drag, Qt::DropActions Allowed)> RunDrag;

    // The actions a drag may end in: those of Dragtypes, or copy alone.
    Qt::DropActions AllowedActions(bool CopyOnly) const;
    TDragResult StartDrag(bool CopyOnly);
    // How a drag that ended in Action, with Allowed offered, counts.
    static TDragResult ResultOf(Qt::DropAction Action, Qt::DropActions Allowed);
    // What the drag carries.
    virtual QMimeData* MakeData() const = 0;
    int LastEffect() const { return FLastEffect; }

private:
    int FLastEffect = 0;
};

class TDropFileSource : public TDropSource {
public:
    using TDropSource::TDropSource;
    std::vector<std::string> Files;
    QMimeData* MakeData() const override;
    // Puts Files on the clipboard as copied files (file managers paste them); false when
    // there are none.
    bool PutFilesOnClipboard() const;
};
