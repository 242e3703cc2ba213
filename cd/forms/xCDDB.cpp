#include "cd/forms/xCDDB.h"

#include "cd/forms/GridLook.h"
#include "cd/forms/xCD.h"
#include "platform/forms/Application.h"
#include "platform/gfx/DrawTools.h"
#include "util/libControl.h"
#include "util/libText.h"
#include "util/libWindows.h"

#include <QEventLoop>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

int TfrmCDDB::PausePercent = 100;
TMsgBoxFn TfrmCDDB::MsgBoxHook;

namespace {

constexpr int FormWidth = 520;
constexpr int FormHeight = 260;
constexpr int GridRowHeight = 15;
constexpr int MaxMatches = 99;
constexpr int TextColumnWidth = 340;  // the match grid's artist-and-title column
constexpr gfx::TColor ColumnColors[4] = {0xFFFF00, 0x00FFFF, 0xE8E8E8, 0x00FF00};
constexpr gfx::TColor OutlineColor = 0x808080;

const char* const MoreServerText = "Everything was not able to be found\n\nSearch More Server";

const char* const KindNames[] = {"Get",    "Options", "Head", "Post",   "Put",   "Patch",  "Copy",
                                 "Move",   "Delete",  "Link", "UnLink", "Trace", "Wrapped"};

QString q(const std::string& s) { return QString::fromStdString(s); }

// Keeps count of the flow's handlers on the stack; the last one out carries out a close that
// came while they ran.
class BusyScope {
public:
    BusyScope(int& busy, bool& closeWanted, QWidget* w) : busy_(busy), closeWanted_(closeWanted), w_(w) { ++busy_; }
    ~BusyScope()
    {
        if (--busy_ == 0 && closeWanted_)
            QTimer::singleShot(0, w_, [w = w_] { w->close(); });
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    int& busy_;
    bool& closeWanted_;
    QWidget* w_;
};

}  // namespace

TfrmCDDB::TfrmCDDB(QWidget* parent, TfrmCD* Cd) : TForm(parent), cd_(Cd)
{
    setObjectName(QStringLiteral("frmCDDB"));
    SetCaption("Accessing Free CDDB");
    createControls();
    connectEvents();
    timClose.SetEnabled(false);
    timClose.SetInterval(500);
    timClose.SetOnTimer([this] { timCloseTimer(); });
    OnCloseQuery = [this](QObject*, bool& canClose) { closeQuery(canClose); };
    // FormCreate: every window starts on the primary server, with no fallback tried yet.
    host_ = CddbPrimaryServer();
    fallbackTried_ = false;
    setupGrid();
}

TfrmCDDB::~TfrmCDDB()
{
    Handlers.Stop();  // the client and the controls going reach no handler of this window
    timClose.SetEnabled(false);
    NMHTTP1.Events = {};
}

void TfrmCDDB::createControls()
{
    setFixedSize(FormWidth, FormHeight);
    auto memo = [this](const char* name, int y, int height) {
        auto* m = new QTextEdit(this);
        m->setObjectName(QString::fromLatin1(name));
        m->setReadOnly(true);
        m->setGeometry(8, y, FormWidth - 16, height);
        return m;
    };
    lblAccess = new QLabel(QStringLiteral("Server Accessing"), this);
    lblAccess->move(8, 6);
    memCDDB = memo("memCDDB", 24, 54);
    lblMessage = new QLabel(QStringLiteral("Server Message"), this);
    lblMessage->move(8, 84);
    memBody = memo("memBody", 102, 96);

    pnlSelect = new QFrame(this);
    pnlSelect->setObjectName(QStringLiteral("pnlSelect"));
    pnlSelect->setGeometry(0, 0, FormWidth, 204);
    pnlSelect->setAutoFillBackground(true);
    pnlSelect->hide();
    auto* heading = new QLabel(QStringLiteral("Inexact Match, Select Genre"), pnlSelect);
    heading->move(8, 6);
    sgdCDDB = new controls::TStringGrid(pnlSelect);
    sgdCDDB->setObjectName(QStringLiteral("sgdCDDB"));
    sgdCDDB->setGeometry(8, 24, FormWidth - 16, 9 * GridRowHeight + 2);
    spdOK = new controls::TRbButton(pnlSelect);
    spdOK->setObjectName(QStringLiteral("spdOK"));
    spdOK->SetCaption("ＯＫ");
    spdOK->setGeometry(FormWidth - 88, 174, 80, 24);

    spdCan = new controls::TRbButton(this);
    spdCan->setObjectName(QStringLiteral("spdCan"));
    spdCan->SetCaption("キャンセル");
    spdCan->setGeometry(FormWidth - 88, 206, 80, 24);
    for (auto* b : {spdOK, spdCan})
        SetControlCursor(b, crHandPoint);
    Handlers.Set(spdOK->OnClick, [this](QObject*) { spdOKClick(); });
    Handlers.Set(spdCan->OnClick, [this](QObject*) { spdCanClick(); });

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, FormHeight - 22, FormWidth, 22);
    lblServer = new QLabel(StatusBar1);
    lblServer->setObjectName(QStringLiteral("lblServer"));
    StatusBar1->addPermanentWidget(lblServer);
}

void TfrmCDDB::setupGrid()
{
    sgdCDDB->SetColor(gfx::clBlack);
    sgdCDDB->SetDefaultDrawing(false);
    sgdCDDB->SetBorderStyle(controls::bsNone);
    sgdCDDB->SetGridLineWidth(0);
    sgdCDDB->SetScrollBars(controls::ssVertical);
    sgdCDDB->SetOptions(controls::goRowSelect);
    sgdCDDB->SetColCount(4);
    sgdCDDB->SetRowCount(1);
    sgdCDDB->SetFixedRows(0);
    sgdCDDB->SetFixedCols(0);
    sgdCDDB->SetDefaultRowHeight(GridRowHeight);
    const int widths[4] = {20, sgdCDDB->width() - 420, TextColumnWidth, 60};
    for (int c = 0; c < 4; ++c)
        sgdCDDB->SetColWidths(c, widths[c]);
    Handlers.Set(sgdCDDB->OnDrawCell, [this](QObject*, int c, int r, const gfx::TRect& rect, controls::TGridDrawState) {
        drawCell(c, r, rect);
    });
    Handlers.Set(sgdCDDB->OnDblClick, [this](QObject*) { spdOKClick(); });
    Handlers.Set(sgdCDDB->OnKeyDown, [this](QObject*, int& key, forms::TShiftState) {
        if (key == forms::VK_RETURN)
            spdOKClick();
    });
}

void TfrmCDDB::connectEvents()
{
    auto say = [this](const std::string& s) { StatusBar1->showMessage(q(s)); };
    net::HttpEvents& e = NMHTTP1.Events;
    Handlers.Set(e.OnConnect, [say] { say(" Connected"); });
    Handlers.Set(e.OnConnectionFailed, [say] { say(" ConnectionFailed"); });
    Handlers.Set(e.OnDisconnect, [say] { say(" Disconnected"); });
    Handlers.Set(e.OnHostResolved, [say] { say(" HostResolved"); });
    Handlers.Set(e.OnInvalidHost, [say] { say(" InvalidHost"); });
    Handlers.Set(e.OnPacketRecvd, [say](std::int64_t b, std::int64_t t) { say(std::to_string(b) + " of " + std::to_string(t) + " retrieved"); });
    Handlers.Set(e.OnPacketSent, [say](std::int64_t b, std::int64_t t) { say(std::to_string(b) + " of " + std::to_string(t) + " sent"); });
    Handlers.Set(e.OnStatus, [say](int n, const std::string& t) { say(n == 404 ? " 404 Not Found" : " " + std::to_string(n) + " " + t); });
    Handlers.Set(e.OnSuccess, [say](int kind) { say(SuccessText(kind)); });
    Handlers.Set(e.OnFailure, [say](int kind) { say(FailureText(kind)); });
}

std::string TfrmCDDB::SuccessText(int Kind)
{
    return Kind >= 0 && Kind <= net::kWrapped ? std::string(KindNames[Kind]) + " は成功しました" : std::string();
}

std::string TfrmCDDB::FailureText(int Kind)
{
    return Kind >= 0 && Kind <= net::kWrapped ? std::string(KindNames[Kind]) + " は失敗しました" : std::string();
}

void TfrmCDDB::drawCell(int Col, int Row, const gfx::TRect& Rect)
{
    static const char* const fonts[4] = {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ Ｐゴシック", "ＭＳ Ｐゴシック"};
    DrawGridCell(*sgdCDDB, TGridLook{4, fonts, ColumnColors, OutlineColor, 3}, Col, Row, Rect, Row == sgdCDDB->Row());
}

std::string TfrmCDDB::Status() const { return StatusBar1->currentMessage().toStdString(); }

void TfrmCDDB::placeWindow()
{
    if (cd_)
        move(cd_->frameGeometry().left(), cd_->frameGeometry().top() + GetFormCaptionHeight(cd_));
}

// ---------------------------------------------------------------- life cycle

void TfrmCDDB::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    if (started_)
        return;
    started_ = true;
    placeWindow();
    SetMemoMargins(memCDDB, 4, 4);
    SetMemoMargins(memBody, 4, 4);
    QTimer::singleShot(0, this, [this] { forms::RunGuarded([this] { start(); }); });
}

void TfrmCDDB::start()
{
    BusyScope busy(busy_, closeWanted_, this);
    repaint();
    CddbQuery(false);
    closeSoon();  // whatever the answers were, the work is over unless a choice waits
}

void TfrmCDDB::keyPressEvent(QKeyEvent* e)
{
    int key = forms::VirtualKey(e->key());
    FormKeyDown(key);
    if (key)
        TForm::keyPressEvent(e);
}

void TfrmCDDB::FormKeyDown(int& Key)
{
    if (Key == forms::VK_ESCAPE) {
        Key = 0;
        close();
    }
}

// A close while the flow runs ends its request or pause; the window goes when the flow has
// returned (BusyScope).
void TfrmCDDB::closeQuery(bool& CanClose)
{
    if (busy_ == 0)
        return;
    CanClose = false;
    closeWanted_ = true;
    timClose.SetEnabled(false);
    NMHTTP1.Abort();
    if (pauseLoop_)
        pauseLoop_->quit();
}

void TfrmCDDB::timCloseTimer()
{
    timClose.SetEnabled(false);
    close();
}

// Not while the user is choosing a match.
void TfrmCDDB::closeSoon()
{
    if (!closeWanted_ && !pnlSelect->isVisible())
        timClose.SetEnabled(true);
}

// Also while the user is choosing a match.
void TfrmCDDB::spdCanClick()
{
    if (!closeWanted_)
        timClose.SetEnabled(true);
}

void TfrmCDDB::notice(const std::string& Text)
{
    const TMsgBoxFn box = MsgBoxHook ? MsgBoxHook : TMsgBoxFn(::MsgBoxEx);
    box(this, "ＣＤＤＢ", Text, 1, "y", "x");
}

bool TfrmCDDB::pause(int Ms)
{
    if (closeWanted_)
        return false;
    QEventLoop loop;
    QTimer::singleShot(Ms * PausePercent / 100, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    pauseLoop_ = &loop;
    loop.exec();
    pauseLoop_ = nullptr;
    return !closeWanted_;
}

// ---------------------------------------------------------------- the flow

int TfrmCDDB::cddbGet(const std::string& Url, std::string& Text)
{
    StatusBar1->clearMessage();
    lblServer->setText(q(host_ + " "));
    const TCddbAnswer a = CddbGet(NMHTTP1, Url);
    std::string body;
    if (!a.Cookie.empty())
        body = "クッキー : " + a.Cookie + "\n";
    body += a.Header;
    memBody->setPlainText(q(body));
    Text = a.Text;
    lastError_ = a.Error;
    return a.Code;
}

// The server being asked and its answer line, below the first server's failure when that one
// handed over.
void TfrmCDDB::answerLine(const std::string& Line)
{
    std::string text = firstFailure_ ? firstFailure_->Host + "\n" + firstFailure_->Line + "\n" : "";
    text += host_;
    if (!Line.empty())
        text += "\n" + Line;
    memCDDB->setPlainText(q(text));
    memCDDB->moveCursor(QTextCursor::End);  // the latest line in view
}

void TfrmCDDB::failed(const std::string& Line)
{
    answerLine(Line);
    if (onFallback_) {
        showFailures(Line);
        return;
    }
    firstFailure_ = Failure{host_, Line, lastError_};
    toFallback();
}

// memCDDB names every failure already; a server that gave no answer at all is told in a box
// too, with the other server's failure beside it.
void TfrmCDDB::showFailures(const std::string& Line)
{
    std::vector<Failure> all;
    if (firstFailure_)
        all.push_back(*firstFailure_);
    all.push_back({host_, Line, lastError_});
    const bool noAnswer = std::any_of(all.begin(), all.end(), [](const Failure& f) { return !f.Error.empty(); });
    if (noAnswer && !closeWanted_) {
        std::string text = "ＣＤＤＢサーバーから答えがありませんでした。";
        for (const Failure& f : all)
            text += "\r\n" + f.Host + "\r\n" + (f.Error.empty() ? TrimBlanksUtf8(f.Line) : f.Error);
        notice(text);
    }
    if (pause(flow_.ErrorPauseMs))
        closeSoon();
}

std::string TfrmCDDB::queryUrl()
{
    if (!cd_)
        throw std::runtime_error("no CD player window");
    return cd_->CDPlayer1->CddbQueryUrl(host_, "");
}

void TfrmCDDB::toFallback()
{
    memBody->setPlainText(QString::fromLatin1(MoreServerText));
    if (!pause(flow_.FallbackPauseMs))
        return;
    host_ = CddbFallbackServer();
    onFallback_ = true;
    CddbQuery(true);
}

void TfrmCDDB::CddbQuery(bool Fallback)
{
    BusyScope busy(busy_, closeWanted_, this);
    answerLine("");
    std::string url;
    try {
        url = queryUrl();
    } catch (const std::exception& e) {
        answerLine("    Unkown Error");
        memBody->setPlainText(QString::fromUtf8(e.what()));
        closeSoon();
        return;
    }
    std::string text;
    const int code = cddbGet(url, text);
    if (closeWanted_)
        return;
    switch (code) {
    case cddbList: {
        answerLine("    Answer : Found exact matches");
        int rows = 0;
        for (const QString& l : q(text).split(QLatin1Char('\n'))) {
            const std::string line = l.toStdString();
            if (TrimBlanksUtf8(line) == "." || rows >= MaxMatches)
                break;
            std::string category, id, rest;
            ParseMatchLine(line, category, id, rest);
            if (category.empty() || id.empty())  // nothing to read with
                continue;
            sgdCDDB->SetRowCount(rows + 1);
            char number[16];
            std::snprintf(number, sizeof number, " %1d.", rows + 1);
            sgdCDDB->SetCells(0, rows, number);
            sgdCDDB->SetCells(1, rows, category);
            sgdCDDB->SetCells(2, rows, rest);
            sgdCDDB->SetCells(3, rows, id);
            ++rows;
        }
        sgdCDDB->SetRowCount(std::max(rows, 1));  // no rows left from an earlier list
        // More matches than fit bring the scroll bar: its width comes out of the artist-and-title
        // column, which is cut short anyway, so that it covers no disc id.
        sgdCDDB->SetColWidths(2, TextColumnWidth - (sgdCDDB->width() - sgdCDDB->ClientWidth()));
        if (rows > 1) {
            memCDDB->setEnabled(false);
            memBody->setEnabled(false);
            sgdCDDB->SetRow(0);
            pnlSelect->show();
            pnlSelect->raise();
            sgdCDDB->setFocus();
            return;
        }
        if (rows == 0) {  // no match line: an answer that does not parse
            failed("    Unkown Error");
            return;
        }
        CddbRead(sgdCDDB->Cells(1, 0), sgdCDDB->Cells(3, 0), Fallback);
        closeSoon();
        return;
    }
    case cddbExact: {
        std::string category, id, rest;
        ParseMatchLine(text, category, id, rest);
        if (category.empty() || id.empty()) {
            failed("    Unkown Error");
            return;
        }
        answerLine("    Answer : Found exact matche CD");
        CddbRead(category, id, Fallback);
        return;
    }
    case cddbNoMatch:
        answerLine("    Answer : Inexact matche CD");
        if (Fallback)
            closeSoon();
        else
            toFallback();
        return;
    case cddbNotFound: failed("    Answer : Inexact matche"); return;
    case cddbSyntax: failed("    Command syntax error"); return;
    case cddbTimeOut: failed("    Time Out"); return;
    default: failed("    Unkown Error"); return;
    }
}

void TfrmCDDB::CddbRead(const std::string& Category, const std::string& DiscId, bool Fallback)
{
    BusyScope busy(busy_, closeWanted_, this);
    std::string text;
    const int code = cddbGet(TCDPlayer::CddbReadUrl(host_, Category, DiscId, ""), text);
    if (closeWanted_)
        return;
    bool incomplete = false;
    switch (code) {
    case cddbList:
        if (!HasXmcdTitles(text)) {  // an entry that does not parse
            failed("    Unkown Error");
            return;
        }
        answerLine("    Answer : Found exact matche TITLE");
        try {
            incomplete = storeEntry(text, Category);
        } catch (const std::exception& e) {
            memBody->setPlainText(QString::fromUtf8(e.what()));
            notice(e.what());
            closeSoon();
            return;
        }
        // Going on to the fallback server, the window has to stay open for it.
        if (!incomplete || Fallback)
            closeSoon();
        break;
    case cddbExact:
    case cddbNotFound:
        answerLine("    Answer : Inexact matche");
        incomplete = !fallbackTried_;
        break;
    default:
        failed(code == cddbNoMatch    ? "    Aswer : Inexact matche"
               : code == cddbSyntax  ? "    Command syntax error"
               : code == cddbTimeOut ? "    Time Out"
                                     : "    Unkown Error");
        return;
    }
    if (!incomplete)
        return;
    if (Fallback || fallbackTried_) {
        closeSoon();
        return;
    }
    toFallback();
    fallbackTried_ = true;
}

void TfrmCDDB::spdOKClick()
{
    if (!pnlSelect->isVisible())
        return;
    BusyScope busy(busy_, closeWanted_, this);
    const int row = sgdCDDB->Row();
    memCDDB->setEnabled(true);
    memBody->setEnabled(true);
    pnlSelect->hide();
    CddbRead(sgdCDDB->Cells(1, row), sgdCDDB->Cells(3, row), onFallback_);
    closeSoon();
}

bool TfrmCDDB::storeEntry(const std::string& Text, const std::string& Category)
{
    if (!cd_)
        throw std::runtime_error("no CD player window");
    TCDPlayer& p = *cd_->CDPlayer1;
    std::string year, title, artist;
    std::vector<std::string> tracks;
    TCDPlayer::ParseXmcd(Text, year, tracks, title, artist);
    if (year.empty())
        year = p.GetDate();
    if (title.empty())
        title = p.GetTitle();
    const std::string genre = Category.empty() ? p.GetGenre() : Category;
    if (artist.empty())
        artist = p.GetArtist();
    bool incomplete = false;
    const TTOC& toc = p.TOC();
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (tracks[i].empty() || tracks[i].front() == '?') {
            tracks[i] = i < toc.size() ? toc[i].Title : std::string();
            incomplete = true;
        }
    }
    p.WriteCdPlayerIni(p.GetMediaIdentity(), artist, title, year, genre, "", tracks);
    cd_->RefreshDisc(false);
    return incomplete && flow_.MissingTitlesFallBack;
}

void ShowCddbWindow(TfrmCD* Cd)
{
    TfrmCDDB w(Cd, Cd);
    w.ShowModal();
}
