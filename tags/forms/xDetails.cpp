#include "tags/forms/xDetails.h"

#include "controls/gradient/RbButton.h"
#include "platform/forms/Application.h"
#include "platform/forms/Image.h"
#include "tags/forms/TagDialogHost.h"
#include "tags/forms/TagDialogSupport.h"
#include "tags/libID3Tag.h"
#include "util/Cp932.h"
#include "util/libControl.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include <filesystem>

namespace {

constexpr int ClientWidth = 700;
constexpr int ClientHeight = 530;
constexpr int PhotoWidth = 206, PhotoHeight = 176;

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TfrmDetails::TfrmDetails(TTagDialogHost& Host, QWidget* Parent) : TForm(Parent), host_(Host)
{
    SetupTagDialogWindow(*this, "Details Infomation", ClientWidth, ClientHeight);
    createControls();
    OnShow = [this](QObject* sender) { FormShow(sender); };
    OnCloseQuery = [this](QObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
    // The window previews every key of its controls.
    SetKeyPreview(true);
    DoCreate([this] { FormCreate(this); });
}

TfrmDetails::~TfrmDetails()
{
    Handlers.Stop();  // the controls' going reaches no handler of this window
}

void TfrmDetails::createControls()
{
    lblFile = new QLabel(this);
    lblFile->hide();
    lblInfo = new QLabel(this);
    lblInfo->setGeometry(14, 8, 120, 18);
    lblName = new QLabel(this);
    lblName->setFont(TagFixedFont());
    lblName->setGeometry(140, 8, ClientWidth - PhotoWidth - 170, 18);

    auto* group = new QGroupBox(this);
    group->setGeometry(8, 30, ClientWidth - PhotoWidth - 36, ClientHeight - 38);
    const int captionX = 12, valueX = 72, valueW = group->width() - valueX - 12;
    int y = 20;
    auto row = [&](const char* caption) {
        auto* c = new QLabel(QString::fromUtf8(caption), group);
        c->setGeometry(captionX, y, valueX - captionX, 20);
        auto* v = new QLabel(group);
        v->setGeometry(valueX, y, valueW, 20);
        y += 24;
        return v;
    };
    lblYear = row("Year");
    lblGenre = row("Genre");
    lblAlbum = row("Album");
    lblArtist = row("Artist");
    lblTitle = row("Title");
    lblTrack = row("Track");
    auto memo = [&](const char* caption, int height) {
        auto* c = new QLabel(QString::fromUtf8(caption), group);
        c->setGeometry(captionX, y + 2, valueX - captionX, 20);
        auto* m = new QPlainTextEdit(group);
        m->setReadOnly(true);
        m->setGeometry(valueX, y, valueW, height);
        y += height + 8;
        return m;
    };
    edtComment = memo("Comment", 60);
    edtLyrics = memo("Lyrics", group->height() - y - 12);

    const int rightX = ClientWidth - PhotoWidth - 12;
    auto* photoCaption = new QLabel(QString::fromUtf8("写真"), this);
    photoCaption->setGeometry(rightX, 10, 60, 18);
    const TPhotoBox box = CreatePhotoBox(this, rightX, 30, PhotoWidth, PhotoHeight);
    pnlPhoto = box.Panel;
    imgPhoto = box.Image;
    pnlInfo = new QWidget(this);
    pnlInfo->setObjectName(QStringLiteral("pnlInfo"));
    pnlInfo->setGeometry(rightX - 4, 30 + PhotoHeight + 8, PhotoWidth + 12, 18 * 15);
    CreateAudioInfoLabels(pnlInfo, lblInfos);
    for (std::size_t i = 0; i < lblInfos.size(); ++i)
        lblInfos[i]->setGeometry(0, int(i) * 15, pnlInfo->width(), 15);

    spdCan = CreateTagDialogButton(this, "閉じる", 2);
    spdCan->SetBounds(ClientWidth - 100, ClientHeight - 34, 88, 26);
    Handlers.Set(spdCan->OnClick, [this](QObject* sender) { spdCanClick(sender); });
}

void TfrmDetails::FormCreate(QObject*)
{
    ReplaceCursor(this, crHandPoint, 1);
    CentreOverMainWindow(*this, host_);
}

void TfrmDetails::FormShow(QObject*)
{
    const std::string path = FileOfLabel(lblFile);
    ReadTag(path);
    const TCurrentTag& t = CurrentTag;
    // A file without a tag names no kind (the record keeps the last file's).
    lblInfo->setText(q("( " + (t.TagKindNo != 0 ? t.TagKind : std::string()) + " )"));
    lblName->setText(q("File : " + cp932::nameForDisplay(std::filesystem::path(path).filename().string())));
    const std::pair<QLabel*, const std::string*> values[] = {
        {lblYear, &t.Year},     {lblGenre, &t.Genre}, {lblAlbum, &t.Album},
        {lblArtist, &t.Artist}, {lblTitle, &t.Title}, {lblTrack, &t.Track},
    };
    for (const auto& [label, value] : values)
        label->setText(q(":  " + *value));
    edtComment->setPlainText(q(t.Comment));
    edtLyrics->setPlainText(q(t.Lyrics));
    ShowTagPhoto(*imgPhoto, host_.Mp3Path(), t.PhotoName);
    ShowAudioInfo(lblInfos, path);
}

void TfrmDetails::FormCloseQuery(QObject*, bool&) {}

void TfrmDetails::FormKeyDown(QObject*, int& Key, forms::TShiftState)
{
    if (Key == forms::VK_ESCAPE) {
        Key = 0;
        spdCanClick(spdCan);
    }
}

void TfrmDetails::spdCanClick(QObject*)
{
    close();
}

bool TfrmDetails::PreviewEvent(QObject*, QEvent* Event)
{
    if (Event->type() == QEvent::KeyPress) {
        int key = forms::VirtualKey(static_cast<QKeyEvent*>(Event)->key());
        if (key != 0) {
            forms::RunGuarded([&] { FormKeyDown(this, key, forms::TShiftState()); });
            if (key == 0)
                return true;
        }
    }
    return false;
}

void TfrmDetails::keyPressEvent(QKeyEvent* Event)
{
    int key = forms::VirtualKey(Event->key());
    if (key != 0)
        forms::RunGuarded([&] { FormKeyDown(this, key, forms::TShiftState()); });
    if (key != 0)
        TForm::keyPressEvent(Event);
}
