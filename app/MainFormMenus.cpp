// The main window's menus: the main menu behind spdMainMenu, the popup menus of the two lists,
// of the visual panes and of the folder and favourite trees, with their items' names and
// captions. Each table row is one item; a row without a name is a separator.
#include "app/MainForm.h"

#include <initializer_list>

#include <QAction>
#include <QMenu>

namespace {

struct TMenuItem {
    QAction** slot;        // null for a separator
    const char* name;
    const char* caption;
    bool checkable = false;
};

void fillMenu(QMenu* menu, std::initializer_list<TMenuItem> items)
{
    for (const auto& item : items) {
        if (!item.slot) {
            menu->addSeparator();
            continue;
        }
        auto* a = menu->addAction(QString::fromUtf8(item.caption));
        a->setObjectName(QString::fromLatin1(item.name));
        a->setCheckable(item.checkable);
        *item.slot = a;
    }
}

QMenu* makeMenu(QWidget* owner, const char* name)
{
    auto* m = new QMenu(owner);
    m->setObjectName(QString::fromLatin1(name));
    return m;
}

const TMenuItem Separator{nullptr, nullptr, nullptr};

// Captions of the visual modes 0..30; the modes the design leaves unnamed carry plain titles
// of what they draw.
constexpr const char* VisualModeCaptions[31] = {
    "宇宙人との交信", "楽しいタイトルたち", "なんじゃこれは！？", "回る宇宙人のまな板",
    "流れ落ちるレベルの滝", "踊る大操作線！何のこっちゃ", "踊り狂う馬糞ウニの仲間たち",
    "原子が踊ったらおっかねー", "ノリノリのアメーバたち！！", "なで肩がステキだねっ♪",
    "わぁ～～花火大会だぁ～", "鼻歌まじりの写真", "謎の惑星に昇る怪しい月",
    "瞬く遥かなるアンドロメダ星雲", "体の悪い幽霊と元気な人魂", "歌詞、写真、レーザービーム",
    "ネオンサイン！きれいだな～", "鳴門の渦潮が！ここは徳島か？", "暗闇に浮かぶ顔",
    "怪しいスペアナとレーザービーム", "鼻歌で踊る人たち", "ステージで踊るふたり", "おっ！",
    "き、きもい！！", "星空の占い師", "お花畑のファンタジー (女の子向け)",
    "幻想のネバーエンディング・ストーリー", "ひょっこりひょうざんの南極大冒険",
    "夜空で踊るロボット", "うおぉぉ～～！.なんかカッコイイぞ♪",
    "ナイトライダー　ベガスをめざせ！！"};

}  // namespace

void TfrmMain::CreateMenus()
{
    CreateMainMenu();
    CreateListMenus();
    CreateVisualMenu();
    PopupMenu6 = makeMenu(this, "PopupMenu6");
    fillMenu(PopupMenu6, {{&do_AddMusicDir, "do_AddMusicDir", "音楽フォルダリストの追加"},
                          {&do_DeleteDir, "do_DeleteDir", "音楽フォルダリストの削除"}});
    PopupMenu7 = makeMenu(this, "PopupMenu7");
    fillMenu(PopupMenu7, {{&do_AddFavorite, "do_AddFavorite", "お気に入りの作成"},
                          {&do_DelFavorite, "do_DelFavorite", "お気に入りの削除"}});
    for (auto* t : {trrFile, trrGenre, trrFavorite})
        t->setContextMenuPolicy(Qt::CustomContextMenu);
    Handlers.Connect(trrFile, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu6->popup(trrFile->viewport()->mapToGlobal(p)); });
    Handlers.Connect(trrFavorite, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu7->popup(trrFavorite->viewport()->mapToGlobal(p)); });
}

void TfrmMain::CreateMainMenu()
{
    PopupMenu4 = makeMenu(this, "PopupMenu4");
    fillMenu(PopupMenu4, {
        {&do_Folder, "do_Folder", "音楽フォルダリストの追加"},
        {&do_AddFavorite1, "do_AddFavorite1", "お気に入りの新規作成"},
        {&do_Update1, "do_Update1", "音楽項目分類リストの更新"},
        Separator,
        {&do_CopyList2, "do_CopyList2", "プレイリストのエクスポート"},
        {&do_BurnCD2, "do_BurnCD2", "プレイリストでＣＤを作成する"},
        {&do_AutoShuffle1, "do_AutoShuffle1", "お気に入りのオートシャッフル", true},
        {&do_SameMusic, "do_SameMusic", "プレイリストに同じ曲の登録を許す", true},
        Separator,
        {&do_Volume, "do_Volume", "ボリューム"},
        {&do_CdPlayer, "do_CdPlayer", "ＣＤプレーヤー"},
        {&do_Recoder, "do_Recoder", "ボイスレコーダー"},
        {&do_Effect, "do_Effect", "ミステリー・ゾーン", true},
        Separator,
        {&do_Minimize, "do_Minimize", "フォームを最小にする"},
        {&do_FormInit, "do_FormInit", "フォームを既定値に戻す"},
        Separator,
        {&N24, "N24", "オンライン・マニュアル"},
        Separator,
        {&do_HTTP, "do_HTTP", "Tambourelle ホームページ"},
        {&N3, "N3", "最新版のダウンロード"},
        {&N21, "N21", "ご意見・ご感想"},
        {&N22, "N22", "バージョン情報"},
        Separator,
        {&do_Close, "do_Close", "終了"},
    });
    Handlers.Connect(PopupMenu4, &QMenu::aboutToShow, this, [this] { forms::RunGuarded([this] { PopupMenu4Popup(); }); });
    Handlers.Connect(do_Minimize, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_MinimizeClick(); }); });
    Handlers.Connect(do_FormInit, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_FormInit1Click(); }); });
    Handlers.Connect(do_Close, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_CloseClick(); }); });
}

void TfrmMain::CreateListMenus()
{
    PopupMenu2 = makeMenu(this, "PopupMenu2");
    fillMenu(PopupMenu2, {
        {&do_Play1, "do_Play1", "音楽を再生する"},
        Separator,
        {&do_CopyAll, "do_CopyAll", "全てをプレイリストに追加"},
        {&do_AllSelect, "do_AllSelect", "全てのタイトルを選択"},
        Separator,
        {&do_Details1, "do_Details1", "音楽タグ情報閲覧"},
        {&do_EditTag1, "do_EditTag1", "音楽タグ情報の編集"},
        {&do_ModifyTag, "do_ModifyTag", "タグ情報の一括編集"},
        {&do_UpdateTag1, "do_UpdateTag1", "音楽タグ情報の更新"},
        {&do_CDDB_MP3_1, "do_CDDB_MP3_1", "ＣＤＤＢでタグ情報を得る"},
        {&do_CDDB_INF_1, "do_CDDB_INF_1", "ＣＤＤＢでアルバム情報を見る"},
        Separator,
        {&do_ConvMp3, "do_ConvMp3", "ＭＰ３に変換する"},
        {&do_ConvWav, "do_ConvWav", "ＷＡＶに変換する"},
        Separator,
        {&do_Update, "do_Update", "音楽分類の更新"},
        {&do_DelTitle, "do_DelTitle", "ファイルの削除"},
    });
    do_UpdateTag1->setVisible(false);

    PopupMenu3 = makeMenu(this, "PopupMenu3");
    fillMenu(PopupMenu3, {
        {&do_Play2, "do_Play2", "音楽を再生する"},
        {&do_ListPlay, "do_ListPlay", "プレイリストの再生"},
        Separator,
        {&do_Shuffle, "do_Shuffle", "シャッフル"},
        {&do_AutoShuffle2, "do_AutoShuffle2", "オートシャッフル", true},
        {&do_MoveUp, "do_MoveUp", "上に移動     Ctrl +↑"},
        {&do_MoveDown, "do_MoveDown", "下に移動     Ctrl +↓"},
        {&do_AllList, "do_AllList", "プレイリストを全てを選択"},
        Separator,
        {&do_Details2, "do_Details2", "音楽タグ情報閲覧"},
        {&do_EditTag2, "do_EditTag2", "音楽タグ情報の編集"},
        {&do_UpdateTag2, "do_UpdateTag2", "音楽タグ情報の更新"},
        {&do_CDDB_MP3_2, "do_CDDB_MP3_2", "ＣＤＤＢでタグ情報を得る"},
        {&do_CDDB_INF_2, "do_CDDB_INF_2", "ＣＤＤＢでアルバム情報を見る"},
        Separator,
        {&do_NewPlayList, "do_NewPlayList", "新規のプレイリスト作成"},
        {&do_Favorite2, "do_Favorite2", "お気に入りに追加"},
        {&do_FavUpdate, "do_FavUpdate", "お気に入りの更新"},
        Separator,
        {&do_CopyList1, "do_CopyList1", "プレイリストのデータをエクスポート"},
        {&do_BurnCD1, "do_BurnCD1", "プレイリストデータからＣＤを作成する"},
        {&do_Print, "do_Print", "ＣＤジャケットとＣＤラベルを印刷する"},
        Separator,
        {&do_DelList, "do_DelList", "リストの削除"},
        {&do_DelListAll, "do_DelListAll", "リスト全てを削除"},
    });
    do_UpdateTag2->setVisible(false);
    for (auto* l : {lstMP3, lstFile})
        l->setContextMenuPolicy(Qt::CustomContextMenu);
    Handlers.Connect(lstMP3, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu2->popup(lstMP3->viewport()->mapToGlobal(p)); });
    Handlers.Connect(lstFile, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) {
                if (spdEffect->Tag == 0)   // none while the effect overlay is shown
                    PopupMenu3->popup(lstFile->viewport()->mapToGlobal(p));
            });
}

void TfrmMain::CreateVisualMenu()
{
    PopupMenu5 = makeMenu(this, "PopupMenu5");
    for (int mode = 0; mode <= 31; ++mode) {
        const bool random = mode == 31;
        auto* a = PopupMenu5->addAction(QString::fromUtf8(random ? "何がでるかお楽しみ" : VisualModeCaptions[mode]));
        a->setObjectName(random ? QStringLiteral("do_Effect99") : QStringLiteral("do_Effect%1").arg(mode, 2, 10, QLatin1Char('0')));
        a->setData(random ? 99 : mode);   // the item's Tag
        a->setCheckable(true);
        if (random)
            a->setToolTip(QString::fromUtf8("一曲ごとに効果が変化します"));
        do_EffectMode[size_t(mode)] = a;
    }
    PopupMenu5->addSeparator();
    do_Effect999 = PopupMenu5->addAction(QString::fromUtf8("DiectXを使用する"));
    do_Effect999->setObjectName(QStringLiteral("do_Effect999"));
    do_Effect999->setData(-1);
    do_Effect999->setCheckable(true);
    for (QAction* a : do_EffectMode)
        Handlers.Connect(a, &QAction::triggered, this, [this, a] { forms::RunGuarded([this, a] { do_Effect00Click(a); }); });
    Handlers.Connect(do_Effect999, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_Effect999Click(); }); });
    Handlers.Connect(PopupMenu5, &QMenu::aboutToShow, this, [this] { forms::RunGuarded([this] { PopupMenu5Popup(); }); });
    // The panes and the meter panel's controls; none while the effect overlay is shown. The
    // level bars under the panes open it for any button but the left (barLeftMouseDown).
    std::vector<QWidget*> targets = {pbxLeft, dxdLeft, pbxRight, dxdRight, pnlMeter};
    for (QWidget* child : pnlMeter->findChildren<QWidget*>())
        targets.push_back(child);
    for (QWidget* pane : targets) {
        pane->setContextMenuPolicy(Qt::CustomContextMenu);
        Handlers.Connect(pane, &QWidget::customContextMenuRequested, this, [this, pane](const QPoint& p) {
            if (spdEffect->Tag == 0)
                PopupMenu5->popup(pane->mapToGlobal(p));
        });
    }
    for (QWidget* bar : {barLeft, barRight})
        bar->installEventFilter(this);
}

void TfrmMain::barLeftMouseDown(forms::TMouseButton Button, QPoint GlobalPos)
{
    if (Button != forms::mbLeft && spdEffect->Tag == 0)
        PopupMenu5->popup(GlobalPos);
}
