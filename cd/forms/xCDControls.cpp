// The CD player window's controls: the player panel, its buttons and displays, the track
// grid and the title editor's panel, placed as the window's design has them.
#include "cd/forms/xCD.h"

#include "cd/forms/GridLook.h"
#include "cd/forms/PanelLook.h"
#include "cd/libYear.h"
#include "cd/forms/xCD2MP3.h"
#include "cd/forms/xCDDB.h"
#include "cd/forms/xVolume.h"
#include "platform/forms/Application.h"
#include "platform/gfx/DrawTools.h"
#include "tags/libID3Tag.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
#include "util/libIni.h"
#include "util/libText.h"
#include "util/libWindows.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int FormWidth = 500;
constexpr int FormHeight = 432;
constexpr gfx::TColor PanelColor = 0x30211A;  // the player panel's face

QString cssColor(gfx::TColor c)
{
    return QStringLiteral("color: #%1%2%3;")
        .arg(c & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((c >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((c >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
}

}  // namespace

void TfrmCD::createControls()
{
    setFixedSize(FormWidth, FormHeight);
    SetColor(PanelColor);
    pnlPlayer = new QFrame(this);
    pnlPlayer->setGeometry(0, 0, FormWidth, 146);
    pnlPlayer->setAutoFillBackground(true);
    pnlPlayer->setStyleSheet(QStringLiteral("QFrame { background: #1A2130; }"));

    auto label = [this](const char* name, int x, int y, gfx::TColor color) {
        auto* l = new QLabel(pnlPlayer);
        l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        l->setStyleSheet(cssColor(color) + QStringLiteral(" background: transparent;"));
        return l;
    };
    lblArtist = label("lblArtist", 8, 6, 0xFFFF00);
    lblAlbum = label("lblAlbum", 100, 6, 0xE8E8E8);
    lbGenre = label("lbGenre", 8, 26, 0x00FF00);
    lblSerial = label("lblSerial", 360, 26, 0xC0C0C0);
    lblTrack = label("lblTrack", 8, 46, 0xF578EC);
    lblTime = label("lblTime", 150, 46, 0xFFFF00);
    lblTotal = label("lblTotal", 330, 46, 0x00FF00);

    Gauge1 = new controls::TRbProgressBar(pnlPlayer);
    Gauge1->setGeometry(8, 68, 484, 14);
    Gauge1->SetDefaultFrom(0xFFB040);
    Gauge2 = new controls::TRbProgressBar(pnlPlayer);
    Gauge2->setGeometry(8, 86, 484, 8);
    Gauge2->SetDefaultFrom(0x00FF80);
    for (auto* g : {Gauge1, Gauge2}) {
        g->SetShowText(false);
        g->SetColor(PanelColor);
    }
    TracBar = new QSlider(Qt::Horizontal, pnlPlayer);
    TracBar->hide();
    Handlers.Connect(TracBar, &QSlider::valueChanged, this, [this] { forms::RunGuarded([this] { TracBarChange(); }); });
    lblGauge = new forms::TPaintBox(pnlPlayer);
    lblGauge->setGeometry(Gauge1->geometry());
    lblGauge->SetTransparentBackground(true);
    Handlers.Set(lblGauge->OnMouseDown, [this](QObject*, forms::TMouseButton, forms::TShiftState, int x, int) { lblGaugeMouseDown(x); });
    SetControlCursor(lblGauge, crHandPoint);

    struct Btn {
        controls::TRbButton** slot;
        const char* name;
        const char* caption;
        const char* hint;
        int left, width;
    };
    const Btn buttons[] = {
        {&sbBack, "sbBack", "◀◀", "10秒戻る", 8, 30},      {&sbPrev, "sbPrev", "|◀", "前の曲", 40, 30},
        {&sbPlay, "sbPlay", "▶", "再生", 72, 30},           {&sbPause, "sbPause", "❚❚", "一時停止", 104, 30},
        {&sbStop, "sbStop", "■", "停止", 136, 30},          {&sbNext, "sbNext", "▶|", "次の曲", 168, 30},
        {&sbStep, "sbStep", "▶▶", "10秒進む", 200, 30},    {&sbEject, "sbEject", "▲", HintDoorOpen, 232, 30},
        {&spdVolume, "spdVolume", "音量", "ボリューム", 344, 34}, {&spdMP3, "spdMP3", "MP3", "ＣＤリッパー", 382, 34},
        {&spdCDDB, "spdCDDB", "CDDB", "ＣＤＤＢ", 420, 36},  {&spdClose, "spdClose", "閉じる", "閉じる", 458, 36},
    };
    for (const Btn& b : buttons) {
        auto* btn = new controls::TRbButton(pnlPlayer);
        btn->setObjectName(QString::fromLatin1(b.name));
        btn->SetCaption(b.caption);
        btn->SetHint(b.hint);
        btn->setGeometry(b.left, 108, b.width, 24);
        SetControlCursor(btn, crHandPoint);
        *b.slot = btn;
    }
    Handlers.Set(sbBack->OnClick, [this](QObject*) { sbBackClick(); });
    Handlers.Set(sbPrev->OnClick, [this](QObject*) { sbPrevClick(); });
    Handlers.Set(sbPlay->OnClick, [this](QObject*) { sbPlayClick(); });
    Handlers.Set(sbPause->OnClick, [this](QObject*) { sbPauseClick(); });
    Handlers.Set(sbStop->OnClick, [this](QObject*) { sbStopClick(); });
    Handlers.Set(sbNext->OnClick, [this](QObject*) { sbNextClick(); });
    Handlers.Set(sbStep->OnClick, [this](QObject*) { sbStepClick(); });
    Handlers.Set(sbEject->OnClick, [this](QObject*) { sbEjectClick(); });
    Handlers.Set(spdVolume->OnClick, [this](QObject*) { spdVolumeClick(); });
    Handlers.Set(spdMP3->OnClick, [this](QObject*) { spdMP3Click(); });
    Handlers.Set(spdCDDB->OnClick, [this](QObject* s) { spdCDDBClick(s); });
    Handlers.Set(spdClose->OnClick, [this](QObject*) { spdCloseClick(); });

    chkRepeart = new controls::TFlatCheckBox(pnlPlayer);
    chkRepeart->setObjectName(QStringLiteral("chkRepeart"));
    chkRepeart->SetCaption("リピート");
    chkRepeart->setGeometry(270, 110, 70, 20);
    DressDarkCheckBox(*chkRepeart, PanelColor);
    SetControlCursor(chkRepeart, crHandPoint);

    sgdTrack = new controls::TStringGrid(this);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(14, 156, FormWidth - 28, 18);
    lblStatus->setStyleSheet(cssColor(0x00FFFF) + QStringLiteral(" background: transparent;"));
    lblStatus->hide();
    sgdTrack->setObjectName(QStringLiteral("sgdTrack"));
    sgdTrack->setGeometry(8, 152, FormWidth - 16, TrackGridRowsShown * GridRowHeight + 2);
    Handlers.Set(sgdTrack->OnDrawCell, [this](QObject*, int c, int r, const gfx::TRect& rect, controls::TGridDrawState) {
        drawCell(sgdTrack, c, r, rect, r == sgdTrack->Row());
    });
    Handlers.Set(sgdTrack->OnDblClick, [this](QObject*) { sgdTrackDblClick(); });
    Handlers.Set(sgdTrack->OnKeyDown, [this](QObject*, int& key, forms::TShiftState) { sgdTrackKeyDown(key); });
    sgdTrack->installEventFilter(this);
    sgdTrack->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenu1 = new QMenu(this);
    set_CDInfo = PopupMenu1->addAction(QStringLiteral("ＣＤ情報登録"));
    Handlers.Connect(set_CDInfo, &QAction::triggered, this, [this] { forms::RunGuarded([this] { set_CDInfoClick(); }); });
    Handlers.Connect(sgdTrack, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        forms::RunGuarded([this] { PopupMenu1Popup(); });
        PopupMenu1->exec(sgdTrack->mapToGlobal(p));
    });
    lblStatus->raise();
    createEditPanel();
}

void TfrmCD::createEditPanel()
{
    pnlInfo = new QFrame(this);
    pnlInfo->setGeometry(0, 0, FormWidth, FormHeight);
    pnlInfo->setAutoFillBackground(true);
    pnlInfo->setStyleSheet(QStringLiteral("QFrame { background: #1A2130; } QLabel { color: #E8E8E8; }"));
    pnlInfo->hide();
    auto* heading = new QLabel(QStringLiteral("ＣＤ情報登録"), pnlInfo);
    heading->move(8, 10);
    auto input = [this](const char* caption, int tag, int y, int left, int width) {
        auto* l = new QLabel(QString::fromUtf8(caption), pnlInfo);
        l->move(left, y + 3);
        auto* e = new controls::TFlatEdit(pnlInfo);
        e->setGeometry(left + 86, y, width, 20);
        e->setProperty("Tag", tag);
        e->installEventFilter(this);
        Handlers.Connect(e, &QLineEdit::editingFinished, this, [this, e] { edtInpExit(e); });
        return e;
    };
    edtInp1 = input("年", 101, 36, 8, 60);
    edtInp1->setMaxLength(4);
    edtInp2 = input("アルバム", 102, 60, 8, 398);
    edtInp3 = input("アーティスト", 103, 84, 8, 398);
    edtInp4 = input("ジャンル", 104, 108, 8, 180);
    cmbCategry = new controls::TFlatComboBox(pnlInfo);
    cmbCategry->setGeometry(290, 108, 202, 20);
    cmbCategry->installEventFilter(this);
    Handlers.Connect(cmbCategry, &QComboBox::activated, this, [this] { forms::RunGuarded([this] { cmbCategryChange(); }); });

    sgdTitle = new controls::TStringGrid(pnlInfo);
    sgdTitle->setObjectName(QStringLiteral("sgdTitle"));
    sgdTitle->Tag = 105;
    sgdTitle->setGeometry(8, 136, FormWidth - 16, TitleGridRowsShown * GridRowHeight + 2);
    sgdTitle->installEventFilter(this);
    Handlers.Set(sgdTitle->OnDrawCell, [this](QObject*, int c, int r, const gfx::TRect& rect, controls::TGridDrawState) {
        drawCell(sgdTitle, c, r, rect, r == sgdTitle->Row());
    });
    Handlers.Set(sgdTitle->OnMouseDown, [this](QObject*, forms::TMouseButton, forms::TShiftState, int x, int y) { sgdTitleMouseDown(x, y); });
    Handlers.Set(sgdTitle->OnEnter, [this](QObject*) { sgdTitleEnter(); });
    pnlTitle = new QFrame(sgdTitle);
    pnlTitle->hide();
    edtTitle = new controls::TFlatEdit(pnlTitle);
    edtTitle->setMaxLength(80);
    edtTitle->installEventFilter(this);
    Handlers.Connect(edtTitle, &QLineEdit::editingFinished, this, [this] { forms::RunGuarded([this] { edtTitleExit(); }); });

    spdOk = new controls::TRbButton(pnlInfo);
    spdOk->SetCaption("登録");
    spdOk->Tag = 1;
    spdOk->setGeometry(340, 392, 72, 26);
    spdCan = new controls::TRbButton(pnlInfo);
    spdCan->SetCaption("取消");
    spdCan->Tag = 2;
    spdCan->setGeometry(420, 392, 72, 26);
    for (auto* b : {spdOk, spdCan}) {
        SetControlCursor(b, crHandPoint);
        Handlers.Set(b->OnClick, [this](QObject* s) { spdOkClick(s); });
    }
}
