// TEMPORARY STAND-IN. The main window is laid out before all of the program's own controls
// exist; until a control lands, a plain Qt label of the same size stands in its place and
// offers the members the window calls, so that swapping in the real control changes only
// the member's type. Removed as soon as the last real control is merged.
//
// Elsewhere: controls/PictureOpenStandIn.h (ExecuteOpenPictureDialog) stands in for the
// picture-open dialog with its preview; the tag editor opens photos through it.
// UI thread only.
#pragma once

#include <string>

#include <QLabel>


// Stands in for the segment-bar meter: a label of the same size.
class TDisplayStandIn : public QLabel {
public:
    explicit TDisplayStandIn(QWidget* parent = nullptr) : QLabel(parent)
    {
        setAlignment(Qt::AlignCenter);
    }
    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& s) { setText(QString::fromStdString(s)); }
};
