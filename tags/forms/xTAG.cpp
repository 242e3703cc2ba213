#include "tags/forms/xTAG.h"

#include "controls/dialogs/OpenPictureDialog.h"
#include "controls/gradient/RbButton.h"
#include "controls/std/ComboBox.h"
#include "pictures/libImg.h"
#include "platform/forms/Application.h"
#include "platform/forms/Image.h"
#include "platform/gfx/Picture.h"
#include "platform/rtl/StringList.h"
#include "tags/forms/TagDialogHost.h"
#include "tags/forms/TagDialogSupport.h"
#include "tags/forms/libGenreHistory.h"
#include "tags/libID3Tag.h"
#include "tags/libMP3Header.h"
#include "util/Cp932.h"
#include "util/libByteLimit.h"
#include "util/libControl.h"
#include "util/libIme.h"
#include "util/libIni.h"
#include "util/libStamp.h"
#include "util/libText.h"
#include "util/libWindows.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QScopeGuard>
#include <QUrl>

#include <algorithm>
#include <array>
#include <filesystem>
#include <stdexcept>

namespace {

constexpr int ClientWidth = 760;
constexpr int ClientHeight = 556;
constexpr std::uint8_t ImeClosed = 1, ImeAlphanumeric = 4, ImeHiragana = 6;
constexpr int PhotoWidth = 206, PhotoHeight = 176;
constexpr std::size_t PhotoStampDigits = 8 + 9 + 8;

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& t) { return t.toStdString(); }

}  // namespace

TfrmTAG::TfrmTAG(TTagDialogHost& Host, QWidget* Parent) : TForm(Parent), host_(Host)
{
    SetupTagDialogWindow(*this, "ID3v2 Tagger", ClientWidth, ClientHeight);
    OpenPictureDialog1 = [this](const std::string& dir) { return ExecuteOpenPictureDialog(this, dir); };
    createControls();
    placeControls();
    OnShow = [this](QObject* sender) { FormShow(sender); };
    OnCloseQuery = [this](QObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
    SetKeyPreview(true);
    DoCreate([this] { FormCreate(this); });
}

TfrmTAG::~TfrmTAG()
{
    Handlers.Stop();  // the controls' going reaches no handler of this window
}

void TfrmTAG::createControls()
{
    lblFile = new QLabel(this);
    lblFile->hide();
    lblName = new QLabel(this);

    GroupBox1 = new QGroupBox(this);
    auto edit = [this](int tag) {
        auto* e = new QLineEdit(GroupBox1);
        e->setProperty("Tag", tag);
        return e;
    };
    Edit1 = edit(1);
    Edit1->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), Edit1));
    Edit2 = edit(2);
    Edit3 = edit(3);
    Edit4 = edit(4);
    Edit5 = edit(5);
    Edit6 = edit(0);
    Edit6->setReadOnly(true);
    Edit7 = new QPlainTextEdit(GroupBox1);
    Edit7->setProperty("Tag", 6);
    Edit8 = new QPlainTextEdit(GroupBox1);
    Edit8->setProperty("Tag", 7);
    // The track box is read-only: a limit there would only cut what the tag holds ("1/5").
    SetTextByteLimit(Edit1, 4);
    SetTextByteLimit(Edit7, 100);
    SetTextByteLimit(Edit8, 2000);

    cmbCategry = new controls::TComboBox(GroupBox1);
    cmbCategry->SetStyle(controls::csDropDownList);
    cmbCategry->SetDropDownCount(20);
    cmbGenre = new controls::TComboBox(GroupBox1);
    cmbGenre->SetStyle(controls::csDropDownList);
    cmbGenre->SetDropDownCount(20);

    const TPhotoBox box = CreatePhotoBox(this, ClientWidth - PhotoWidth - 12, 30, PhotoWidth, PhotoHeight);
    pnlPhoto = box.Panel;
    pnlPhoto->setAcceptDrops(true);
    imgPhoto = box.Image;
    Handlers.Set(imgPhoto->OnDblClick, [this](QObject* sender) { imgPhotoDblClick(sender); });
    PopupMenu1 = new QMenu(this);
    do_DelPhoto = PopupMenu1->addAction(QString::fromUtf8("写真の削除"));
    Handlers.Connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { forms::RunGuarded([this] { PopupMenu1Popup(); }); });
    Handlers.Connect(do_DelPhoto, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_DelPhotoClick(); }); });
    for (QWidget* w : {pnlPhoto, static_cast<QWidget*>(imgPhoto)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        Handlers.Connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint& p) { PopupMenu1->popup(w->mapToGlobal(p)); });
    }

    btnPhoto = CreateTagDialogButton(this, "写真の読込", 0);
    Handlers.Set(btnPhoto->OnClick, [this](QObject* sender) { btnPhotoClick(sender); });
    spdOk = CreateTagDialogButton(this, "更　新", 1);
    Handlers.Set(spdOk->OnClick, [this](QObject* sender) { spdOkClick(sender); });
    spdCan = CreateTagDialogButton(this, "ｷｬﾝｾﾙ", 2);
    Handlers.Set(spdCan->OnClick, [this](QObject* sender) { spdCanClick(sender); });
    for (controls::TRbButton* b : {spdOk, spdCan})
        Handlers.Set(b->OnMouseDown, [this](QObject* sender, forms::TMouseButton, forms::TShiftState, int, int) {
            spdOkMouseDown(sender);
        });


    CreateAudioInfoLabels(this, lblInfo);
    lblName->setFont(TagFixedFont());

    Handlers.Set(cmbCategry->OnChange, [this](QObject* sender) { cmbCategryChange(sender); });
    Handlers.Set(cmbGenre->OnChange, [this](QObject* sender) { cmbGenreChange(sender); });
    Handlers.Set(cmbGenre->OnKeyDown, [this](QObject* sender, int& key, forms::TShiftState shift) {
        cmbGenreKeyDown(sender, key, shift);
    });
    for (controls::TComboBox* c : {cmbCategry, cmbGenre}) {
        Handlers.Set(c->OnEnter, [this](QObject* sender) { cmbCategryEnter(sender); });
        Handlers.Set(c->OnExit, [this](QObject* sender) { cmbCategryExit(sender); });
        Handlers.Set(c->OnCloseUp, [this](QObject* sender) { cmbCategryCloseUp(sender); });
    }
}

void TfrmTAG::placeControls()
{
    lblName->setGeometry(14, 8, ClientWidth - PhotoWidth - 40, 18);
    GroupBox1->setGeometry(8, 28, ClientWidth - PhotoWidth - 36, ClientHeight - 36);
    const int labelX = 12, fieldX = 84, fieldW = GroupBox1->width() - fieldX - 12;
    int y = 24;
    auto caption = [&](const char* text, int top) {
        auto* l = new QLabel(QString::fromUtf8(text), GroupBox1);
        l->setGeometry(labelX, top + 3, fieldX - labelX - 4, 18);
    };
    auto row = [&](const char* text, QWidget* field, int width, int height = 24) {
        caption(text, y);
        field->setGeometry(fieldX, y, width, height);
        y += height + 8;
    };
    row("Year", Edit1, 84);  // wide enough for a full date some writers store as the year
    caption("Genre", y);
    Edit2->setGeometry(fieldX, y, 160, 24);
    const int listW = (fieldW - 160 - 12) / 2;
    cmbCategry->SetBounds(fieldX + 166, y, listW, 24);
    cmbGenre->SetBounds(fieldX + 172 + listW, y, fieldW - 172 - listW, 24);
    cmbCategry->setToolTip(QString::fromUtf8("ジャンル一覧"));
    cmbGenre->setToolTip(QString::fromUtf8("入力したジャンルの履歴（Delete で削除）"));
    y += 32;
    row("Artist", Edit3, fieldW);
    row("Album", Edit4, fieldW);
    row("Title", Edit5, fieldW);
    row("Track", Edit6, 64);
    row("Comment", Edit7, fieldW, 52);
    row("Lyrics", Edit8, fieldW, GroupBox1->height() - y - 12);

    const int rightX = ClientWidth - PhotoWidth - 12;
    auto* photoCaption = new QLabel(QString::fromUtf8("写真"), this);
    photoCaption->setGeometry(rightX, 10, 60, 18);
    btnPhoto->SetBounds(rightX + PhotoWidth - 96, 30 + PhotoHeight + 6, 96, 24);
    int infoY = 30 + PhotoHeight + 38;
    for (QLabel* l : lblInfo) {
        l->setGeometry(rightX - 4, infoY, PhotoWidth + 12, 15);
        infoY += 15;
    }
    spdCan->SetBounds(ClientWidth - 100, ClientHeight - 34, 88, 26);
    spdOk->SetBounds(ClientWidth - 196, ClientHeight - 34, 88, 26);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, cmbCategry);
    setTabOrder(cmbCategry, cmbGenre);
    setTabOrder(cmbGenre, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, Edit5);
    setTabOrder(Edit5, Edit6);
    setTabOrder(Edit6, Edit7);
    setTabOrder(Edit7, Edit8);
    setTabOrder(Edit8, spdOk);
    setTabOrder(spdOk, spdCan);
}

void TfrmTAG::FormCreate(QObject*)
{
    ReplaceCursor(this, crHandPoint, 1);
    CentreOverMainWindow(*this, host_);
    LoadGenreHistory(cmbGenre->Items());
    rtl::TStringList genres;
    for (const std::string& g : CurrentTag.GenreList)
        genres.Add(g);
    cmbCategry->Items().Assign(genres);
}

bool TfrmTAG::IsMp3File(const std::string& FileName)
{
    return !IsNotMp3File(FileName);
}

std::string TfrmTAG::fileName() const
{
    return cp932::nameForDisplay(std::filesystem::path(FileOfLabel(lblFile)).filename().string());
}

std::string TfrmTAG::photoPath(const std::string& Name) const
{
    return host_.Mp3Path() + "/" + Name;
}

bool TfrmTAG::IsPhotoFileName(const std::string& Name)
{
    if (Name.size() != PhotoStampDigits + 4 || Name.compare(PhotoStampDigits, 4, ".jpg") != 0)
        return false;
    return std::all_of(Name.begin(), Name.begin() + PhotoStampDigits, [](char c) { return c >= '0' && c <= '9'; });
}

void TfrmTAG::FormShow(QObject*)
{
    const std::string path = FileOfLabel(lblFile);
    if (!IsMp3File(path)) {
        // Only an ID3v1 tag will be written: its fields hold 30 bytes and no lyrics or photo.
        Edit2->setReadOnly(true);
        for (QLineEdit* e : {Edit3, Edit4, Edit5})
            SetTextByteLimit(e, 30);
        SetTextByteLimit(Edit7, 30);
        Edit8->setEnabled(false);
        btnPhoto->setEnabled(false);
    }
    ReadTag(path);
    GroupBox1->setTitle(q(" " + CurrentTag.TagKind + " "));
    const TCurrentTag& t = CurrentTag;
    fields_ = {t.Year,     t.Genre,     t.Artist,   t.Album,       t.Title,   t.Track,
               t.Comment,  t.Lyrics,    t.CddbPath, t.TimeText,    t.PhotoName, t.UserText,
               t.UserDefText, t.UserUrl, t.Undecodable};
    kept_ = fields_;
    shownPath_ = path;

    ShowTagPhoto(*imgPhoto, host_.Mp3Path(), fields_.PhotoName);

    // Each box shows the whole stored text, past its limit too.
    SetStoredText(Edit1, q(fields_.Year));
    SetStoredText(Edit2, q(fields_.Genre));
    SetStoredText(Edit3, q(fields_.Artist));
    SetStoredText(Edit4, q(fields_.Album));
    SetStoredText(Edit5, q(fields_.Title));
    SetStoredText(Edit6, q(fields_.Track));
    SetStoredText(Edit7, q(fields_.Comment));
    SetStoredText(Edit8, q(fields_.Lyrics));
    const std::string name = fileName();
    lblName->setText(q("File : " + name));
    // An unreadable title stays empty, so that saving leaves its frame as it is. A title taken
    // from the file's name is saved as shown.
    if (fields_.Title.empty() && !(fields_.Undecodable & tfTitle)) {
        Edit5->setText(q(std::filesystem::path(name).stem().string()));
        kept_.Title = s(Edit5->text());
    }
    shown_ = shownTexts();

    ShowAudioInfo(lblInfo, path);
    frameCount_ = AudioFileInfo.FrameCount;

    Edit1->setFocus();
    cmbCategry->SetItemIndex(cmbCategry->Items().IndexOf(fields_.Genre));
    SyncGenreHistory();
    Tag = 0;
}

// The texts the boxes show, one a box.
const std::array<std::string TfrmTAG::TFields::*, 8> TfrmTAG::BoxTexts = {
    &TFields::Year,  &TFields::Genre, &TFields::Artist,  &TFields::Album,
    &TFields::Title, &TFields::Track, &TFields::Comment, &TFields::Lyrics};

TfrmTAG::TFields TfrmTAG::shownTexts() const
{
    TFields t = kept_;
    t.Year = s(Edit1->text());
    t.Genre = s(Edit2->text());
    t.Artist = s(Edit3->text());
    t.Album = s(Edit4->text());
    t.Title = s(Edit5->text());
    t.Track = s(Edit6->text());
    t.Comment = s(Edit7->toPlainText());
    t.Lyrics = s(Edit8->toPlainText());
    return t;
}

// The boxes against what they showed: a box turns stored text into what it can show (line
// breaks of a memo, a genre code's name), so the stored text is no measure.
bool TfrmTAG::IsTagModified() const
{
    const TFields now = shownTexts();
    return std::any_of(BoxTexts.begin(), BoxTexts.end(), [&](auto f) { return now.*f != shown_.*f; })
           || fields_.PhotoName != kept_.PhotoName;
}

void TfrmTAG::spdOkClick(QObject*)
{
    if (saving_)
        return;
    if (IsTagModified()) {
        const int answer = host_.MsgBoxEx(this, TagMsgCaption,
                                          "データが編集されています！！\r\r登録してもよろしいですか？",
                                          1, "ync", "?");
        if (answer == forms::mrCancel)
            return;
        if (answer == forms::mrYes && !SaveTag())
            return;  // the message said so; the dialog stays for another try
    }
    close();
}

void TfrmTAG::spdCanClick(QObject*)
{
    if (saving_)
        return;
    if (IsTagModified() &&
        host_.MsgBoxEx(this, TagMsgCaption,
                       "データが編集されています！！\r\r　　終了してもよろしいですか？", 2,
                       "yn", "?") == forms::mrNo)
        return;
    close();
}

void TfrmTAG::FormKeyDown(QObject*, int& Key, forms::TShiftState)
{
    if (Key == forms::VK_ESCAPE) {
        Key = 0;
        spdCanClick(spdCan);
    }
}

void TfrmTAG::FormCloseQuery(QObject*, bool& CanClose)
{
    // Closing the engine's file lets events run; the window stays until the save is done.
    if (saving_) {
        CanClose = false;
        return;
    }
    SaveGenreHistory(cmbGenre->Items());
}

void TfrmTAG::spdOkMouseDown(QObject*)
{
    SetImeMode(this, ImeAlphanumeric);
    SetImeMode(this, ImeClosed);
}

// ------------------------------------------------------------------------ saving

bool TfrmTAG::SaveTag()
{
    if (saving_)
        return false;
    saving_ = true;
    const auto notSaving = qScopeGuard([this] { saving_ = false; });
    const std::string path = FileOfLabel(lblFile);
    const std::string playing = host_.EngineFileName();
    const std::string status = host_.EnginePlayStatus();
    const bool sameFile = !playing.empty() && SameFileIgnoringCase(playing, path);
    // Asked before the engine closes the file, which clears the title display.
    const bool hasRow = host_.ListHasSelection(int(lblFileTag));
    const bool titleShown = hasRow && host_.LblMusicCaption() == host_.ListSelectedText(int(lblFileTag), 1);
    int percent = 0;
    if (sameFile) {
        percent = host_.Gauge1Percent();
        host_.EngineCloseFile();
    }
    const auto reopen = qScopeGuard([&] {
        if (sameFile)
            host_.EngineReopen(playing, percent, status);
    });
    host_.SetDirMonActive(false);
    const auto monitorOn = qScopeGuard([this] { host_.SetDirMonActive(true); });

    if (AddGenreHistory(cmbGenre->Items(), cmbCategry->Items(), s(Edit2->text())))
        SyncGenreHistory();
    // A box the user did not change writes back what the tag held, whatever it shows.
    const TFields now = shownTexts();
    for (std::string TFields::*f : BoxTexts)
        fields_.*f = now.*f == shown_.*f ? kept_.*f : now.*f;
    if (!writeTagWithPhoto()) {
        tellSaveFailed();
        return false;
    }

    std::string title = fields_.Title;
    if (title.empty())
        title = fileName();
    CurrentTag.Title = title;
    if (hasRow)
        host_.SetListSelectedTexts(int(lblFileTag),
                                   {title, fields_.Artist, fields_.Album, fields_.Year, fields_.Genre, fields_.Track});
    if (titleShown)
        host_.SetLblMusicCaption(title);
    kept_ = fields_;
    shown_ = shownTexts();
    Tag = 1;
    return true;
}

// The new photo first, then the tag, then the old photo goes: whatever fails, the tag never
// names a photo that is not there, and the old photo stays until the tag no longer names it.
bool TfrmTAG::writeTagWithPhoto()
{
    const std::string oldName = kept_.PhotoName;
    const std::string newName = fields_.PhotoName;
    const bool newPhoto = !newName.empty() && newName != oldName;
    if (newPhoto) {
        try {
            if (photo_.Empty() || !SavePictureByExt(photo_, photoPath(newName), false))
                return false;
        } catch (const std::exception&) {
            return false;
        }
    }
    TCurrentTag& t = CurrentTag;
    t.TagFileName = FileOfLabel(lblFile);
    t.Year = fields_.Year;
    t.Genre = fields_.Genre;
    t.Artist = fields_.Artist;
    t.Album = fields_.Album;
    t.Title = fields_.Title;
    t.Track = fields_.Track;
    t.Comment = fields_.Comment;
    t.Lyrics = fields_.Lyrics;
    t.CddbPath = fields_.CddbPath;
    t.TimeText = fields_.TimeText;
    t.PhotoName = fields_.PhotoName;
    t.UserText = fields_.UserText;
    t.UserDefText = fields_.UserDefText;
    t.UserUrl = fields_.UserUrl;
    t.Undecodable = fields_.Undecodable;
    if (!WriteTag(t.TagFileName)) {
        if (newPhoto) {
            std::error_code ec;
            std::filesystem::remove(photoPath(newName), ec);
        }
        return false;
    }
    if (newPhoto)
        SetHiddenAttr(photoPath(newName), true);
    if (oldName != newName && IsPhotoFileName(oldName)) {
        const std::string old = photoPath(oldName);
        SetHiddenAttr(old, false);
        std::error_code ec;
        std::filesystem::remove(old, ec);
    }
    return true;
}

void TfrmTAG::tellSaveFailed()
{
    host_.MsgBoxEx(this, TagMsgCaption, TagNotSavedText, 1, "y", "x");
}

void TfrmTAG::SyncGenreHistory()
{
    ::SyncGenreHistory(*cmbGenre, s(Edit2->text()));
}

// ------------------------------------------------------------------------ photo

std::string TfrmTAG::MakeUniquePhotoName() const
{
    const std::string stamp = MakeDateStamp() + MakeTimeStamp();
    for (std::int64_t n = frameCount_;; ++n) {
        const std::string number = "00000000" + std::to_string(n);
        const std::string name = stamp + number.substr(number.size() - 8) + ".jpg";
        std::error_code ec;
        if (!std::filesystem::exists(photoPath(name), ec))
            return name;
    }
}

void TfrmTAG::SetPhoto(const std::string& FileName)
{
    if (!IsImageFileExt(FileName))
        return;
    // The name is taken only for a picture that decodes: otherwise name, preview and the
    // photo to be saved stay, and the user hears why nothing changed.
    gfx::TBitmap decoded;
    try {
        gfx::TPicture picture;
        picture.LoadFromFile(FileName);
        if (picture.Graphic())
            decoded.Assign(*picture.Graphic());
    } catch (const std::exception&) {
        decoded.SetSize(0, 0);
    }
    if (decoded.Empty())
        throw std::runtime_error("『 " + cp932::nameForDisplay(std::filesystem::path(FileName).filename().string()) +
                                 " 』 は画像として読み込めません！！\r\r写真は変更されていません。");
    decoded.SetPixelFormat(gfx::pf24bit);
    photo_.Assign(decoded);
    fields_.PhotoName = MakeUniquePhotoName();
    ShowPhoto(FileName);
}

void TfrmTAG::ShowPhoto(const std::string& FileName)
{
    std::error_code ec;
    if (std::filesystem::is_regular_file(FileName, ec))
        LoadPictureFitParent(*imgPhoto, true, false, true, FileName);
}

void TfrmTAG::btnPhotoClick(QObject*)
{
    if (!btnPhoto->isEnabled())
        return;
    const std::string folder = IniReadString(IniBase, "SETTING", "PHOTO_TAG_PATH", GetSpecialFolder(7));
    const std::string chosen = OpenPictureDialog1 ? OpenPictureDialog1(folder) : std::string();
    if (chosen.empty())
        return;
    forms::ProcessMessages();
    // The folder is kept before the picture is read: after a picture that does not load, the
    // next try starts where the user was looking.
    IniWriteString(IniBase, "SETTING", "PHOTO_TAG_PATH", std::filesystem::path(chosen).parent_path().string());
    SetPhoto(chosen);
}

void TfrmTAG::imgPhotoDblClick(QObject* Sender)
{
    btnPhotoClick(Sender);
}

void TfrmTAG::FileDrop1FileDrop(const std::vector<std::string>& Files)
{
    if (!Files.empty() && btnPhoto->isEnabled())
        SetPhoto(Files.front());
}

void TfrmTAG::PopupMenu1Popup()
{
    do_DelPhoto->setEnabled(!fields_.PhotoName.empty());
}

void TfrmTAG::do_DelPhotoClick()
{
    if (host_.MsgBoxEx(this, TagMsgCaption, "写真を削除します！！\r\r　　よろしいですか？", 2, "yn",
                       "?") != forms::mrYes)
        return;
    imgPhoto->setGeometry(2, 2, pnlPhoto->width() - 4, pnlPhoto->height() - 4);
    ClearImage(*imgPhoto, gfx::clWhite);
    fields_.PhotoName.clear();
    photo_.SetSize(0, 0);
}

// ------------------------------------------------------------------------ fields

QWidget* TfrmTAG::fieldByTag(int FieldTag) const
{
    for (QWidget* w : std::initializer_list<QWidget*>{Edit1, Edit2, Edit3, Edit4, Edit5, Edit7})
        if (w->property("Tag").toInt() == FieldTag)
            return w;
    return nullptr;
}

int TfrmTAG::fieldTag(const QObject* Field) const
{
    return Field->property("Tag").toInt();
}

void TfrmTAG::setFieldColor(QWidget* Field, bool Focused)
{
    SetFieldBackground(Field, Focused ? FieldFocusColor : gfx::clWhite);
}

void TfrmTAG::Edit1KeyDown(QObject* Sender, int& Key, forms::TShiftState)
{
    if (Key != forms::VK_RETURN && Key != forms::VK_DOWN && Key != forms::VK_UP)
        return;
    int index = fieldTag(Sender);
    std::uint16_t key = std::uint16_t(Key);
    bool down = true;
    RowNavigateKey(1, 6, index, key, down);
    Key = 0;  // Enter never reaches the window's buttons
    if (key != 0)
        if (QWidget* next = fieldByTag(index))
            next->setFocus();
}

void TfrmTAG::Edit1Enter(QObject* Sender)
{
    auto* field = static_cast<QWidget*>(Sender);
    setFieldColor(field, true);
    if (Sender == Edit6) {
        Edit5->setFocus();
        return;
    }
    SetImeMode(field, Sender == Edit1 ? ImeAlphanumeric : ImeHiragana);
}

void TfrmTAG::Edit1Exit(QObject* Sender)
{
    if (auto* e = qobject_cast<QLineEdit*>(Sender)) {
        const std::string trimmed = TrimBlanksUtf8(s(e->text()));
        if (trimmed != s(e->text()))
            e->setText(q(trimmed));
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(Sender)) {
        const std::string trimmed = TrimBlanksUtf8(s(m->toPlainText()));
        if (trimmed != s(m->toPlainText()))
            m->setPlainText(q(trimmed));
    }
    setFieldColor(static_cast<QWidget*>(Sender), false);
    if (Sender == Edit2)
        SyncGenreHistory();
}

void TfrmTAG::cmbGenreKeyDown(QObject*, int& Key, forms::TShiftState)
{
    if (Key == forms::VK_DELETE) {
        DeleteGenreHistory(*cmbGenre, s(Edit2->text()));
        Key = 0;
    }
}

void TfrmTAG::cmbGenreChange(QObject*)
{
    if (Edit2->isReadOnly())
        return;  // an ID3v1 tag stores only the standard genres
    Edit2->setText(q(cmbGenre->Text()));
    Edit2->end(false);
}

void TfrmTAG::cmbCategryChange(QObject*)
{
    Edit2->setText(q(cmbCategry->Text()));
    Edit2->end(false);
    SyncGenreHistory();
}

void TfrmTAG::cmbCategryCloseUp(QObject*)
{
    Edit2->setFocus();
}

void TfrmTAG::cmbCategryEnter(QObject*)
{
    cmbCategry->SetColor(FieldFocusColor);
    cmbCategry->SetItemIndex(cmbCategry->Items().IndexOf(s(Edit2->text())));
}

void TfrmTAG::cmbCategryExit(QObject*)
{
    cmbCategry->SetColor(gfx::clWhite);
}

// ------------------------------------------------------------------------ events

bool TfrmTAG::PreviewEvent(QObject* Watched, QEvent* Event)
{
    const bool field = Watched == Edit1 || Watched == Edit2 || Watched == Edit3 || Watched == Edit4 ||
                       Watched == Edit5 || Watched == Edit6 || Watched == Edit7 || Watched == Edit8;
    switch (Event->type()) {
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(Event);
        int key = forms::VirtualKey(k->key());
        if (key == 0)
            break;
        forms::RunGuarded([&] {
            FormKeyDown(this, key, forms::TShiftState());
            if (key != 0 && field && qobject_cast<QLineEdit*>(Watched))
                Edit1KeyDown(Watched, key, forms::TShiftState());
        });
        if (key == 0)
            return true;
        break;
    }
    case QEvent::FocusIn:
        if (field)
            forms::RunGuarded([&] { Edit1Enter(Watched); });
        break;
    case QEvent::FocusOut:
        if (field && static_cast<QFocusEvent*>(Event)->reason() != Qt::PopupFocusReason)
            forms::RunGuarded([&] { Edit1Exit(Watched); });
        break;
    case QEvent::DragEnter:
        if (Watched == pnlPhoto && static_cast<QDragEnterEvent*>(Event)->mimeData()->hasUrls()) {
            static_cast<QDragEnterEvent*>(Event)->acceptProposedAction();
            return true;
        }
        break;
    case QEvent::Drop:
        if (Watched == pnlPhoto) {
            auto* d = static_cast<QDropEvent*>(Event);
            std::vector<std::string> files;
            for (const QUrl& url : d->mimeData()->urls())
                if (url.isLocalFile())
                    files.push_back(s(url.toLocalFile()));
            d->acceptProposedAction();
            forms::RunGuarded([&] { FileDrop1FileDrop(files); });
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}
