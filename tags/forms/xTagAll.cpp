#include "tags/forms/xTagAll.h"

#include "controls/gradient/RbButton.h"
#include "controls/std/ComboBox.h"
#include "platform/forms/Application.h"
#include "platform/rtl/StringList.h"
#include "tags/forms/TagDialogHost.h"
#include "tags/forms/TagDialogSupport.h"
#include "tags/forms/libGenreHistory.h"
#include "tags/libID3Tag.h"
#include "util/SafeFile.h"
#include "util/libByteLimit.h"
#include "util/libControl.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScopeGuard>

#include <filesystem>

namespace {

constexpr int ClientWidth = 470;
constexpr int ClientHeight = 258;

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& t) { return t.toStdString(); }

}  // namespace

TfrmTagAll::TfrmTagAll(TTagDialogHost& Host, QWidget* Parent) : TForm(Parent), host_(Host)
{
    SetupTagDialogWindow(*this, "タグの一括変更", ClientWidth, ClientHeight);
    createControls();
    OnShow = [this](QObject* sender) { FormShow(sender); };
    OnCloseQuery = [this](QObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
    SetKeyPreview(true);
    DoCreate([this] { FormCreate(this); });
}

TfrmTagAll::~TfrmTagAll()
{
    Handlers.Stop();  // the controls' going reaches no handler of this window
    FormDestroy(this);
}

void TfrmTagAll::createControls()
{
    lblClass = new QLabel(this);
    lblClass->setGeometry(14, 8, ClientWidth - 28, 18);
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(8, 30, ClientWidth - 16, 182);

    const int labelX = 12, fieldX = 76, fieldW = GroupBox1->width() - fieldX - 12;
    auto label = [this](const char* text, int x, int y, int w) {
        auto* l = new QLabel(QString::fromUtf8(text), GroupBox1);
        l->setGeometry(x, y + 3, w, 18);
        return l;
    };
    auto edit = [this](int tag, int x, int y, int w) {
        auto* e = new QLineEdit(GroupBox1);
        e->setProperty("Tag", tag);
        e->setGeometry(x, y, w, 24);
        return e;
    };
    lbl01 = label("Year", labelX, 24, 60);
    Edit1 = edit(1, fieldX, 24, 84);  // wide enough for a full date some writers store as the year
    Edit1->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), Edit1));
    SetTextByteLimit(Edit1, 4);
    lbl02 = label("Genre", labelX, 56, 60);
    Edit2 = edit(2, fieldX, 56, 150);
    cmbCategry = new controls::TComboBox(GroupBox1);
    cmbCategry->SetStyle(controls::csDropDownList);
    cmbCategry->SetDropDownCount(20);
    cmbCategry->SetBounds(fieldX + 156, 56, fieldW - 156, 24);
    cmbCategry->setToolTip(QString::fromUtf8("ジャンル一覧"));
    lbl12 = label("履歴", fieldX + 120, 88, 34);
    lbl12->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cmbGenre = new controls::TComboBox(GroupBox1);
    cmbGenre->SetStyle(controls::csDropDownList);
    cmbGenre->SetDropDownCount(20);
    cmbGenre->SetBounds(fieldX + 156, 88, fieldW - 156, 24);
    cmbGenre->setToolTip(QString::fromUtf8("入力したジャンルの履歴（Delete で削除）"));
    lbl03 = label("Artist", labelX, 120 - 4, 60);
    Edit3 = edit(3, fieldX, 116, fieldW);
    lbl04 = label("Album", labelX, 148 - 4, 60);
    Edit4 = edit(4, fieldX, 144, fieldW);
    // The buttons under the group.
    spdOk = CreateTagDialogButton(this, "更　新", 1);
    Handlers.Set(spdOk->OnClick, [this](QObject* sender) { spdOkClick(sender); });
    spdCan = CreateTagDialogButton(this, "ｷｬﾝｾﾙ", 2);
    Handlers.Set(spdCan->OnClick, [this](QObject* sender) { spdCanClick(sender); });
    spdCan->SetBounds(ClientWidth - 100, ClientHeight - 34, 88, 26);
    spdOk->SetBounds(ClientWidth - 196, ClientHeight - 34, 88, 26);

    Handlers.Set(cmbCategry->OnChange, [this](QObject* sender) { cmbCategryChange(sender); });
    Handlers.Set(cmbGenre->OnChange, [this](QObject* sender) { cmbGenreChange(sender); });
    Handlers.Set(cmbGenre->OnKeyDown, [this](QObject* sender, int& key, forms::TShiftState shift) {
        cmbGenreKeyDown(sender, key, shift);
    });
    for (controls::TComboBox* c : {cmbCategry, cmbGenre}) {
        Handlers.Set(c->OnEnter, [this](QObject* sender) { cmbCategryEnter(sender); });
        Handlers.Set(c->OnCloseUp, [this](QObject* sender) { cmbCategryCloseUp(sender); });
    }
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, cmbCategry);
    setTabOrder(cmbCategry, cmbGenre);
    setTabOrder(cmbGenre, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, spdOk);
    setTabOrder(spdOk, spdCan);
}

void TfrmTagAll::FormCreate(QObject*)
{
    CentreOverMainWindow(*this, host_);
    ReplaceCursor(this, crHandPoint, 1);
    rtl::TStringList genres;
    for (const std::string& g : CurrentTag.GenreList)
        genres.Add(g);
    cmbCategry->Items().Assign(genres);
    LoadGenreHistory(cmbGenre->Items());
    rows_.clear();
}

void TfrmTagAll::FormDestroy(QObject*)
{
    rows_.clear();
}

void TfrmTagAll::FormShow(QObject*)
{
    classification_ = host_.CategoryRootText();
    lblClass->setText(q("Classification: " + classification_));

    // Only the field of the classification is editable; the history goes with the genre.
    for (QWidget* w : std::initializer_list<QWidget*>{lbl01, lbl02, lbl03, lbl04, lbl12, Edit1, Edit2, Edit3,
                                                       Edit4, cmbCategry, cmbGenre})
        w->setEnabled(false);
    rows_ = host_.MusicListSelection();
    QLineEdit* field = nullptr;
    std::vector<QWidget*> enable;
    if (classification_ == "Year")
        field = Edit1, enable = {lbl01};
    else if (classification_ == "Genre")
        field = Edit2, enable = {cmbCategry, cmbGenre, lbl02, lbl12};
    else if (classification_ == "Artist")
        field = Edit3, enable = {lbl03};
    else if (classification_ == "Album")
        field = Edit4, enable = {lbl04};
    // Without a selected row there is nothing to read or write.
    std::string kind;
    if (!rows_.empty()) {
        ReadTag(rows_.front().second);
        if (CurrentTag.TagKindNo != 0)
            kind = CurrentTag.TagKind;
        if (field) {
            const std::string value = field == Edit1   ? CurrentTag.Year
                                      : field == Edit2 ? CurrentTag.Genre
                                      : field == Edit3 ? CurrentTag.Artist
                                                       : CurrentTag.Album;
            for (QWidget* w : enable)
                w->setEnabled(true);
            field->setEnabled(true);
            // Whole, past the year's four digits too: a box never cuts what it does not change.
            SetStoredText(field, q(value));
            field->end(false);
            field->setFocus();
        }
    }
    // What the boxes show is what counts as unchanged.
    shownYear_ = s(Edit1->text());
    shownGenre_ = s(Edit2->text());
    shownArtist_ = s(Edit3->text());
    shownAlbum_ = s(Edit4->text());
    GroupBox1->setTitle(q(" " + kind + " "));
    SyncGenreHistory();
}

bool TfrmTagAll::IsTagAllModified() const
{
    return s(Edit1->text()) != shownYear_ || s(Edit2->text()) != shownGenre_ || s(Edit3->text()) != shownArtist_ ||
           s(Edit4->text()) != shownAlbum_;
}

void TfrmTagAll::spdOkClick(QObject*)
{
    if (saving_)
        return;
    if (IsTagAllModified()) {
        const int answer = host_.MsgBoxEx(this, TagMsgCaption, "データが編集されています！！\r登録してもよろしいですか？",
                                          1, "ync", "?");
        if (answer == forms::mrCancel)
            return;
        if (answer == forms::mrYes)
            SaveTagAll();
    }
    close();
}

void TfrmTagAll::spdCanClick(QObject*)
{
    if (saving_)
        return;
    if (IsTagAllModified() &&
        host_.MsgBoxEx(this, TagMsgCaption, "データが編集されています！！\r終了してもよろしいですか？", 2, "yn",
                       "?") == forms::mrNo)
        return;
    close();
}

void TfrmTagAll::FormCloseQuery(QObject*, bool& CanClose)
{
    // The save lets events run; the window stays until it is done.
    if (saving_) {
        CanClose = false;
        return;
    }
    SaveGenreHistory(cmbGenre->Items());
}

// ------------------------------------------------------------------------ saving

void TfrmTagAll::SaveTagAll()
{
    if (saving_ || rows_.empty())
        return;
    saving_ = true;
    const auto notSaving = qScopeGuard([this] { saving_ = false; });
    std::string failed;
    {
        TWaitCursor hourglass;
        if (Edit2->isEnabled() && AddGenreHistory(cmbGenre->Items(), cmbCategry->Items(), s(Edit2->text())))
            SyncGenreHistory();
        failed = writeAll();
        host_.RefreshMusicList();
    }
    if (!failed.empty())
        host_.MsgBoxEx(this, TagMsgCaption, "次のファイルのタグを保存できませんでした。" + failed, 1, "y", "x");
}

std::string TfrmTagAll::writeAll()
{
    const std::string engineFile = host_.EngineFileName();
    const std::string engineStatus = host_.EnginePlayStatus();
    bool closed = false;
    int percent = 0;
    const auto reopen = qScopeGuard([&] {
        if (closed)
            host_.EngineReopen(engineFile, percent, engineStatus);
    });
    host_.SetDirMonActive(false);
    const auto monitorOn = qScopeGuard([this] { host_.SetDirMonActive(true); });

    std::string failed;  // "\r" + name of each file that was not saved
    std::vector<std::pair<int, std::string>> saved;
    {
        // One disk flush for the whole change rather than one a file; a row shows the new
        // value only once its file is on disk.
        safefile::DeferredSync flushAtTheEnd;
        // A copy: the rows stay as they were taken whatever runs while events are let through.
        const std::vector<std::pair<int, std::string>> rows = rows_;
        for (const auto& [index, path] : rows) {
            if (!closed && !engineFile.empty() && SameFileIgnoringCase(path, engineFile)) {
                percent = host_.Gauge1Percent();
                host_.EngineCloseFile();
                closed = true;
            }
            if (writeOne(path))
                saved.emplace_back(index, path);
            else
                failed += "\r" + std::filesystem::path(path).filename().string();
            forms::ProcessMessages();
        }
        if (!flushAtTheEnd.flush()) {
            for (const auto& [index, path] : saved)
                failed += "\r" + std::filesystem::path(path).filename().string();
            saved.clear();
        }
    }
    for (const auto& [index, path] : saved)
        setRowTexts(index, path);
    return failed;
}

bool TfrmTagAll::writeOne(const std::string& Path)
{
    // Read right before the write: nothing of another file's tag may reach this one.
    ReadTag(Path);
    if (Edit1->isEnabled())
        CurrentTag.Year = s(Edit1->text());
    if (Edit2->isEnabled())
        CurrentTag.Genre = s(Edit2->text());
    if (Edit3->isEnabled())
        CurrentTag.Artist = s(Edit3->text());
    if (Edit4->isEnabled())
        CurrentTag.Album = s(Edit4->text());
    try {
        return WriteTag(Path);
    } catch (const std::exception&) {
        return false;
    }
}

void TfrmTagAll::setRowTexts(int Index, const std::string& Path)
{
    // The row of the remembered index, when it still stands for the file.
    if (host_.MusicListRowPath(Index) != Path)
        return;
    if (Edit1->isEnabled())
        host_.SetMusicListRowText(Index, 4, s(Edit1->text()));
    if (Edit2->isEnabled())
        host_.SetMusicListRowText(Index, 5, s(Edit2->text()));
    if (Edit3->isEnabled())
        host_.SetMusicListRowText(Index, 2, s(Edit3->text()));
    if (Edit4->isEnabled())
        host_.SetMusicListRowText(Index, 3, s(Edit4->text()));
}

void TfrmTagAll::SyncGenreHistory()
{
    ::SyncGenreHistory(*cmbGenre, s(Edit2->text()));
}

// ------------------------------------------------------------------------ fields

void TfrmTagAll::Edit1Enter(QObject* Sender)
{
    SetFieldBackground(static_cast<QWidget*>(Sender), FieldFocusColor);
}

void TfrmTagAll::Edit2Exit(QObject*)
{
    SyncGenreHistory();
}

void TfrmTagAll::Edit1KeyDown(QObject*, int& Key, forms::TShiftState)
{
    if (Key == forms::VK_ESCAPE) {
        Key = 0;
        spdCanClick(spdCan);
    } else if (Key == forms::VK_RETURN) {
        Key = 0;  // Enter does nothing in the fields
    }
}

void TfrmTagAll::cmbCategryEnter(QObject*)
{
    cmbCategry->SetColor(FieldFocusColor);
    cmbCategry->SetItemIndex(cmbCategry->Items().IndexOf(s(Edit2->text())));
}

void TfrmTagAll::cmbCategryChange(QObject*)
{
    Edit2->setText(q(cmbCategry->Text()));
    SyncGenreHistory();
}

void TfrmTagAll::cmbCategryCloseUp(QObject*)
{
    Edit2->setFocus();
}

void TfrmTagAll::cmbGenreKeyDown(QObject*, int& Key, forms::TShiftState)
{
    if (Key == forms::VK_DELETE) {
        DeleteGenreHistory(*cmbGenre, s(Edit2->text()));
        Key = 0;
    }
}

void TfrmTagAll::cmbGenreChange(QObject*)
{
    Edit2->setText(q(cmbGenre->Text()));
    Edit2->end(false);
}

// ------------------------------------------------------------------------ events

bool TfrmTagAll::isField(const QObject* Object) const
{
    return Object == Edit1 || Object == Edit2 || Object == Edit3 || Object == Edit4;
}

bool TfrmTagAll::PreviewEvent(QObject* Watched, QEvent* Event)
{
    if (isField(Watched)) {
        switch (Event->type()) {
        case QEvent::KeyPress: {
            int key = forms::VirtualKey(static_cast<QKeyEvent*>(Event)->key());
            if (key == 0)
                break;
            forms::RunGuarded([&] { Edit1KeyDown(Watched, key, forms::TShiftState()); });
            if (key == 0)
                return true;
            break;
        }
        case QEvent::FocusIn:
            forms::RunGuarded([&] { Edit1Enter(Watched); });
            break;
        case QEvent::FocusOut:
            if (Watched == Edit2 && static_cast<QFocusEvent*>(Event)->reason() != Qt::PopupFocusReason)
                forms::RunGuarded([&] { Edit2Exit(Watched); });
            break;
        default:
            break;
        }
    }
    return false;
}
