// The favourite tree and the favourite commands: the playlist is either unnamed or the open
// copy of a favourite (named in lblFavorite); choosing a favourite in the tree loads it, and
// the playlist can be saved as a new favourite, added to one, written over the open one,
// started afresh, and favourites created, renamed in place and deleted. FavoriteModified
// tells whether the playlist differs from the stored favourite; the close query asks by it.
//
// A favourite that is not the one the playlist holds is never the reason a modified
// playlist is emptied: deleting it leaves the playlist alone, and the favourite the tree
// selects afterwards is loaded through the usual question.
#include "app/MainForm.h"

#include <algorithm>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QStyledItemDelegate>

#include "app/MainFormSupport.h"
#include "app/libFavorite.h"
#include "app/xInput.h"
#include "controls/std/Label.h"
#include "util/libIme.h"
#include "util/libWindows.h"

namespace {

const std::string CR = "\r";
const char* const RootText = "Favorite";
constexpr uint8_t ImeHiragana = 6, ImeClosed = 1;

QString qs(const std::string& S)
{
    return QString::fromStdString(S);
}

// The stored spelling of the favourite Name names without regard to case; empty when none.
std::string storedName(const std::string& Name)
{
    std::vector<std::string> names;
    ReadFavoriteNames(names);
    for (const std::string& n : names)
        if (SameFavoriteName(n, Name))
            return n;
    return {};
}

// Hands the end of an in-place rename to the window, which may refuse the new text.
class TFavoriteNameDelegate : public QStyledItemDelegate {
public:
    TFavoriteNameDelegate(TfrmMain* Form, QTreeWidget* Tree) : QStyledItemDelegate(Tree), form_(Form), tree_(Tree) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        DrawNodeFocusMark(painter, option);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        forms::RunGuarded([this] { form_->trrFavoriteEditing(); });
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* root = tree_->topLevelItem(index.parent().row());
        if (!edit || !index.parent().isValid() || !root || index.row() >= root->childCount())
            return;
        const std::string old = root->child(index.row())->text(0).toStdString();
        std::string text = edit->text().toStdString();
        // A rename the settings file refused (reported by the guard) keeps the stored name.
        if (!forms::RunGuarded([&] { form_->trrGenreEdited(root->child(index.row()), text); }))
            text = old;
        model->setData(index, qs(text));
    }

private:
    TfrmMain* form_;
    QTreeWidget* tree_;
};

}  // namespace

void TfrmMain::ConnectFavoriteCommands()
{
    InputFavoriteName = [this](const std::string& Prompt, std::string& Name) {
        TfrmInput dialog(this);
        dialog.lblTitle->SetCaption(Prompt);
        dialog.edtInp->setText(qs(Name));
        dialog.ShowModal();
        Name = dialog.edtInp->text().toStdString();
        return dialog.Tag == 1;
    };
    trrFavorite->setItemDelegate(new TFavoriteNameDelegate(this, trrFavorite));
    trrFavorite->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    Handlers.Connect(trrFavorite, &QTreeWidget::currentItemChanged, this, [this] {
        forms::RunGuarded([this] { trrFavoriteChange(); });
    });
    Handlers.Connect(PopupMenu7, &QMenu::aboutToShow, this, [this] { forms::RunGuarded([this] { PopupMenu7Popup(); }); });
    auto bind = [this](QAction* Action, void (TfrmMain::*Handler)()) {
        Handlers.Connect(Action, &QAction::triggered, this, [this, Handler] { forms::RunGuarded([this, Handler] { (this->*Handler)(); }); });
    };
    bind(do_Favorite2, &TfrmMain::spdFavoriteClick);
    bind(do_FavUpdate, &TfrmMain::spdFvUpdateClick);
    bind(do_NewPlayList, &TfrmMain::do_NewPlayListClick);
    bind(do_AddFavorite, &TfrmMain::do_AddFavoriteClick);
    bind(do_AddFavorite1, &TfrmMain::do_AddFavorite1Click);
    bind(do_DelFavorite, &TfrmMain::do_DelFavoriteClick);
    Handlers.Set(spdFavorite->OnClick, [this](QObject*) { spdFavoriteClick(); });
    Handlers.Set(spdFvUpdate->OnClick, [this](QObject*) { spdFvUpdateClick(); });
}

QTreeWidgetItem* TfrmMain::FavoriteRoot() const
{
    for (int i = 0; i < trrFavorite->topLevelItemCount(); ++i)
        if (trrFavorite->topLevelItem(i)->text(0) == QLatin1String(RootText))
            return trrFavorite->topLevelItem(i);
    return nullptr;
}

namespace {

QTreeWidgetItem* addFavoriteNode(QTreeWidgetItem* Root, const std::string& Name)
{
    auto* node = new QTreeWidgetItem(Root, QStringList{qs(Name)});
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    return node;
}

}  // namespace

// The tree shows what the playlist holds: the node of Name (the first in tree order), or
// nothing for an unnamed playlist. Loads nothing.
void TfrmMain::SelectFavoriteNode(const std::string& Name)
{
    TReentryGuard guard(TreeUpdating);
    QTreeWidgetItem* match = nullptr;
    if (!Name.empty())
        for (QTreeWidgetItemIterator it(trrFavorite); *it && !match; ++it)
            if ((*it)->text(0) == qs(Name))
                match = *it;
    trrFavorite->setCurrentItem(match);
    if (!match)
        trrFavorite->clearSelection();
}

void TfrmMain::BuildFavoriteTree(const std::string& NewName)
{
    pnlSplash->show();
    forms::ProcessMessages();
    TWaitCursor wait;
    trrFavorite->setUpdatesEnabled(false);
    if (!NewName.empty()) {
        if (QTreeWidgetItem* root = trrFavorite->topLevelItem(0))
            trrFavorite->setCurrentItem(addFavoriteNode(root, NewName));
    } else {
        trrFavorite->clear();
        std::vector<std::string> names;
        ReadFavoriteNames(names);
        auto* root = new QTreeWidgetItem(trrFavorite, QStringList{QLatin1String(RootText)});
        for (const std::string& name : names)
            addFavoriteNode(root, name);
        trrFavorite->setCurrentItem(root);
        root->setExpanded(true);
    }
    trrFavorite->setUpdatesEnabled(true);
    LayoutTreeSections();
    pnlSplash->hide();
}

void TfrmMain::trrFavoriteChange()
{
    LoadFavorite();
}

void TfrmMain::LoadFavorite()
{
    QTreeWidgetItem* node = trrFavorite->currentItem();
    if (TreeUpdating || !node || !node->parent())
        return;
    const std::string chosen = node->text(0).toStdString();
    const std::string open = lblFavorite->text().toStdString();
    int answer = 6;
    if (!open.empty() && FavoriteModified)
        answer = MsgBoxEx(this, "お気に入り",
                          "お気に入り　『　" + open + "　』　が変更されています！！" + CR + CR +
                              "　　『　" + chosen + "　』　を読み込んでもよろしいですか？",
                          2, "YN", "?");
    else if (open.empty() && lstFile->topLevelItemCount() > 0)
        answer = MsgBoxEx(this, "プレイリスト",
                          "プレイリストが作成されています！！" + CR + CR + "　　『　" + chosen +
                              "　』　を読み込んでもよろしいですか？",
                          2, "YN", "?");
    TWaitCursor wait;
    forms::ProcessMessages();
    {
        TReentryGuard guard(TreeUpdating);
        if (answer == 6) {
            if (DxSound && DxSound->ListPlay())
                sbStopClick();
            lblFavorite->setText(qs(chosen));
            std::vector<std::string> paths;
            ReadFavoriteItems(paths, chosen);
            FillList(Library, lstFile, paths, true);
            SetPlaylistModified(false);
        }
    }
    if (answer != 6)
        SelectFavoriteNode(open);
    if (DxSound)
        DxSound->UpdateLyricsAndMeter(true);
    forms::ProcessMessages();
}

void TfrmMain::SetPlaylistModified(bool Modified)
{
    FavoriteModified = Modified;
    spdFavorite->setEnabled(lstFile->topLevelItemCount() > 0);
    spdFvUpdate->setEnabled(Modified && !lblFavorite->text().isEmpty());
}

// Saves the playlist as a new favourite, or adds its files to an existing one.
void TfrmMain::spdFavoriteClick()
{
    if (!spdFavorite->isEnabled())
        return;
    SetImeMode(this, ImeHiragana);
    std::string name = lblFavorite->text().toStdString();
    if (!InputFavoriteName("新規に作成するお気に入りの 『タイトル』 を入力して下さい。" + CR +
                               "既存のお気に入りに追加する場合はその名前を入力して下さい！！",
                           name) ||
        name.empty()) {
        SetImeMode(this, ImeClosed);
        return;
    }
    if (const std::string existing = storedName(name); !existing.empty()) {
        if (MsgBoxEx(this, "お気に入り", "お気に入りの 『 " + name + "  』 にリストを追加しますか？", 1, "YN", "?") != 6)
            return;
        name = existing;   // the favourite as it is stored, whatever the letter case typed
    } else {
        try {
            if (!AddFavoriteName(name))
                return;
        } catch (const EFavoriteNameError& e) {
            MsgBoxEx(this, "お気に入り", e.what(), 1, "Y", "!");
            SetImeMode(this, ImeClosed);
            return;
        }
        if (QTreeWidgetItem* root = FavoriteRoot()) {
            TReentryGuard guard(TreeUpdating);
            addFavoriteNode(root, name);
        }
        LayoutTreeSections();
    }
    AppendFavoriteItems(name, PlaylistPaths());
    lblFavorite->setText(qs(name));
    SetPlaylistModified(false);
    SetImeMode(this, ImeClosed);
}

void TfrmMain::spdFvUpdateClick()
{
    const std::string name = lblFavorite->text().toStdString();
    if (!spdFvUpdate->isEnabled() || name.empty())
        return;
    if (MsgBoxEx(this, "お気に入り",
                 "お気に入りの 『 " + name + "  』 を更新します！！" + CR + CR + "　　よろしいですか？", 1,
                 "YN", "?") != 6)
        return;
    WriteFavoriteItems(name, PlaylistPaths());
    SetPlaylistModified(false);
}

// Empties the playlist, stopping what plays from it first.
void TfrmMain::ClearPlaylist()
{
    if (DxSound && DxSound->ListPlay())
        sbStopClick();
    const std::vector<std::string> paths = PlaylistPaths();
    if (std::any_of(paths.begin(), paths.end(), [this](const std::string& p) { return IsCurrentFile(p); }))
        sbStopClick();
    lstFile->BeginItemUpdate();
    lstFile->clear();
    lstFile->EndItemUpdate();
    FitListColumns(lstFile);
}

void TfrmMain::do_NewPlayListClick()
{
    const std::string name = lblFavorite->text().toStdString();
    int answer = 6;
    if (!name.empty() && FavoriteModified)
        answer = MsgBoxEx(this, "お気に入り",
                          "お気に入り　『　" + name + "　』　が変更されています！！" + CR + CR +
                              "　　破棄してもよろしいですか？",
                          2, "YN", "?");
    else if (name.empty() && lstFile->topLevelItemCount() > 0)
        answer = MsgBoxEx(this, "プレイリスト",
                          "プレイリストが作成されています！！" + CR + CR + "　　破棄してもよろしいですか？", 2,
                          "YN", "?");
    if (answer != 6)
        return;
    ClearPlaylist();
    lblFavorite->clear();
    FavoriteModified = false;
    spdFvUpdate->setEnabled(false);
    spdFavorite->setEnabled(false);
    spdPlayList->setEnabled(false);
}

void TfrmMain::do_AddFavoriteClick()
{
    if (!do_AddFavorite->isEnabled())
        return;
    std::string name;
    if (InputFavoriteName("新規に作成するお気に入りの 『タイトル』 を入力して下さい。", name) && !name.empty()) {
        if (FavoriteExists(name)) {
            MsgBoxEx(this, "お気に入り", "同じ名前があります！！", 1, "Y", "i");
        } else {
            try {
                if (AddFavoriteName(name))
                    BuildFavoriteTree(name);
            } catch (const EFavoriteNameError& e) {
                MsgBoxEx(this, "お気に入り", e.what(), 1, "Y", "!");
            }
        }
    }
    SetImeMode(this, ImeClosed);
}

void TfrmMain::do_AddFavorite1Click()
{
    QTreeWidgetItem* root = FavoriteRoot();
    if (!root)
        return;
    trrFavorite->setCurrentItem(root);
    PopupMenu7Popup();
    do_AddFavoriteClick();
}

void TfrmMain::do_DelFavoriteClick()
{
    QTreeWidgetItem* node = trrFavorite->currentItem();
    if (!do_DelFavorite->isEnabled() || !node || !node->parent())
        return;
    QTreeWidgetItem* root = node->parent();
    const std::string caption = root->text(0).toStdString() + "削除";
    const std::string name = node->text(0).toStdString();
    if (MsgBoxEx(this, caption, "「" + name + "」 を削除します。 よろしいですか？　", 2, "YN", "?") != 6 ||
        MsgBoxEx(this, caption, "本当に削除してもよろしいですか？　", 2, "YN", "?") != 6)
        return;
    // The node the user chose, found again: the tree may have changed while they answered.
    node = nullptr;
    root = FavoriteRoot();
    for (int i = 0; root && i < root->childCount() && !node; ++i)
        if (root->child(i)->text(0).toStdString() == name)
            node = root->child(i);
    if (!node)
        return;
    const int index = root->indexOfChild(node);
    DeleteFavorite(name);
    {
        // Whatever node Qt makes current meanwhile is not chosen by the user.
        TReentryGuard guard(TreeUpdating);
        delete node;
        trrFavorite->setCurrentItem(nullptr);
    }
    if (lblFavorite->text() == qs(name)) {
        // The playlist was this favourite's copy: it goes with it.
        ClearPlaylist();
        lblFavorite->clear();
        SetPlaylistModified(false);
        spdPlayList->setEnabled(false);
    }
    LayoutTreeSections();
    // The neighbour takes the deleted node's place, the one before it when it was the last;
    // choosing it loads it, asking first when the playlist holds unsaved changes.
    QTreeWidgetItem* next = root->childCount() == 0 ? nullptr : root->child(std::min(index, root->childCount() - 1));
    if (next)
        trrFavorite->setCurrentItem(next);
    else
        SelectFavoriteNode(lblFavorite->text().toStdString());
}

void TfrmMain::trrGenreEdited(QTreeWidgetItem* Node, std::string& NewText)
{
    if (!Node || !Node->parent())
        return;
    const std::string oldName = Node->text(0).toStdString();
    if (NewText == oldName)
        return;
    const bool sameFavorite = SameFavoriteName(NewText, oldName);
    if (!sameFavorite && FavoriteExists(NewText)) {
        MsgBoxEx(this, "お気に入り", "同じ名前があります！！", 1, "Y", "i");
        NewText = oldName;
        return;
    }
    try {
        if (!RenameFavorite(oldName, NewText)) {
            NewText = oldName;
            return;
        }
    } catch (const EFavoriteNameError& e) {
        MsgBoxEx(this, "お気に入り", e.what(), 1, "Y", "!");
        NewText = oldName;
        return;
    }
    if (lblFavorite->text() == qs(oldName))
        lblFavorite->setText(qs(NewText));
    Node->setText(0, qs(NewText));
}

void TfrmMain::trrFavoriteEditing()
{
    SetImeMode(this, ImeHiragana);
}

void TfrmMain::PopupMenu7Popup()
{
    const QTreeWidgetItem* node = trrFavorite->currentItem();
    do_AddFavorite->setEnabled(node && !node->parent());
    do_DelFavorite->setEnabled(node && node->parent() && !node->parent()->parent());
}
