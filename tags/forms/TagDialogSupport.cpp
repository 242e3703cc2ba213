#include "tags/forms/TagDialogSupport.h"

#include "controls/gradient/RbButton.h"
#include "pictures/libImg.h"
#include "platform/forms/Form.h"
#include "platform/forms/Image.h"
#include "tags/forms/AudioInfoLabels.h"
#include "tags/forms/TagDialogHost.h"
#include "tags/libID3Tag.h"
#include "tags/libMP3Header.h"
#include "util/Cp932.h"
#include "util/libControl.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QVariant>
#include <QWidget>

#include <filesystem>

void SetupTagDialogWindow(forms::TForm& Dialog, const char* Caption, int Width, int Height)
{
    Dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint);
    Dialog.setFixedSize(Width, Height);
    Dialog.SetCaption(Caption);
}

controls::TRbButton* CreateTagDialogButton(QWidget* Parent, const char* Caption, int Tag)
{
    auto* b = new controls::TRbButton(Parent);
    b->SetCaption(Caption);
    b->Tag = Tag;
    SetControlCursor(b, crHandPoint);
    return b;
}

void CentreOverMainWindow(QWidget& Dialog, const TTagDialogHost& Host)
{
    if (QWidget* main = Host.MainWindow()) {
        const QRect area = main->frameGeometry();
        Dialog.move(area.x() + (area.width() - Dialog.width()) / 2,
                    area.y() + (area.height() - Dialog.height()) / 2);
    }
}

void SetFieldBackground(QWidget* Field, gfx::TColor Color)
{
    QPalette p = Field->palette();
    p.setColor(QPalette::Base, QColor(int(Color & 0xFF), int(Color >> 8 & 0xFF), int(Color >> 16 & 0xFF)));
    Field->setPalette(p);
}

bool SameFileIgnoringCase(const std::string& A, const std::string& B)
{
    return QString::fromStdString(A).compare(QString::fromStdString(B), Qt::CaseInsensitive) == 0;
}

TPhotoBox CreatePhotoBox(QWidget* Parent, int Left, int Top, int Width, int Height)
{
    auto* frame = new QFrame(Parent);  // the photo's frame; the photo is centred inside
    frame->setObjectName(QStringLiteral("bvlPhoto"));
    frame->setFrameShape(QFrame::Box);
    frame->setAutoFillBackground(true);
    QPalette white = frame->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, QColor(160, 160, 160));
    frame->setPalette(white);
    frame->setGeometry(Left, Top, Width, Height);
    // The picture routine centres the photo 2 pixels right of and below the middle of its
    // parent (for a bevel), and the parent clips it; the parent sits one pixel outside the
    // frame so that what shows is centred in the frame's inside.
    auto* panel = new QWidget(frame);
    panel->setObjectName(QStringLiteral("pnlPhoto"));
    panel->setGeometry(-1, -1, Width, Height);
    auto* image = new forms::TImage(panel);
    image->setObjectName(QStringLiteral("imgPhoto"));
    image->setGeometry(2, 2, Width - 4, Height - 4);
    return {panel, image};
}

void ShowTagPhoto(forms::TImage& Image, const std::string& Mp3Path, const std::string& Name)
{
    ClearImage(Image, gfx::clWhite);
    if (!IsPlainPhotoName(Name) || Mp3Path.empty())
        return;
    const std::string path = Mp3Path + "/" + Name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec))
        LoadPictureFitParent(Image, true, false, true, path);
}

QFont TagFixedFont()
{
    QFont f(QStringLiteral("IPAGothic"));
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    f.setPixelSize(12);
    return f;
}

namespace {

// The bytes and the text shown with them; text set later over them wins.
constexpr const char* FileBytesProperty = "tambourelleFileBytes";
constexpr const char* FileShownProperty = "tambourelleFileShown";

}  // namespace

void SetFileLabel(QLabel* Label, const std::string& Path)
{
    const QString shown = QString::fromStdString(cp932::nameForDisplay(Path));
    Label->setText(shown);
    Label->setProperty(FileBytesProperty, QByteArray::fromStdString(Path));
    Label->setProperty(FileShownProperty, shown);
}

std::string FileOfLabel(const QLabel* Label)
{
    const QVariant bytes = Label->property(FileBytesProperty);
    if (bytes.isValid() && Label->property(FileShownProperty).toString() == Label->text())
        return bytes.toByteArray().toStdString();
    return Label->text().toStdString();
}

void CreateAudioInfoLabels(QWidget* Parent, TAudioInfoLabelSet& Labels)
{
    const QFont fixed = TagFixedFont();
    for (std::size_t i = 0; i < Labels.size(); ++i) {
        Labels[i] = new QLabel(Parent);
        Labels[i]->setObjectName(QString::fromLatin1(AudioInfoLabels[i].Name));
        Labels[i]->setFont(fixed);
    }
}

void ShowAudioInfo(const TAudioInfoLabelSet& Labels, const std::string& FileName)
{
    GetAudioFileInfo(FileName, true);
    for (std::size_t i = 0; i < Labels.size(); ++i)
        Labels[i]->setText(QString::fromStdString(AudioInfoText(AudioInfoLabels[i], AudioFileInfo)));
}
