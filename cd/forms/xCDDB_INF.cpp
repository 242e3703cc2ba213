#include "cd/forms/xCDDB_INF.h"

#include "cd/forms/GridLook.h"
#include "cd/MCDPlayer.h"
#include "cd/forms/xCDDB_MP3.h"
#include "platform/forms/Application.h"
#include "platform/gfx/DrawTools.h"
#include "tags/forms/TagDialogSupport.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
#include "util/libText.h"
#include "util/libWindows.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace {

constexpr int FormWidth = 420;
constexpr int FormHeight = 412;
constexpr int GridRowHeight = 15;
constexpr gfx::TColor ColumnColors[3] = {0xFFFF00, 0xE8E8E8, 0xF578EC};  // as the CD window's
constexpr gfx::TColor OutlineColor = 0x808080;

void setCaption(QLabel* l, const std::string& s) { l->setText(QString::fromStdString(s)); }

std::string fmt(const char* format, int a, int b = 0)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

// A TIME text as the grid shows it: "mm:ss" as it is, four digits "mmss" with the colon.
std::string timeCell(const std::string& Time)
{
    auto digits = [](std::string_view s) { return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }); };
    if (Time.size() == 5 && Time[2] == ':' && digits(Time.substr(0, 2)) && digits(Time.substr(3)))
        return Time;
    if (Time.size() == 4 && digits(Time))
        return Time.substr(0, 2) + ":" + Time.substr(2);
    return {};
}

int number(const std::string& s)
{
    const std::string n = s.substr(0, s.find('/'));
    int v = -1;
    const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), v);
    return ec == std::errc() && end == n.data() + n.size() ? v : -1;
}

}  // namespace

TfrmCDDB_INF::TfrmCDDB_INF(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmCDDB_INF"));
    SetCaption("CDDB Infomation");
    setFixedSize(FormWidth, FormHeight);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("QDialog { background: #1A2130; } QLabel { color: #E8E8E8; }"));
    auto label = [this](const char* name, const char* text, int x, int y, int width) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(x, y, width, 16);
        return l;
    };
    lblFile = label("lblFile", "", 8, 8, FormWidth - 16);
    label("", "Artist", 8, 32, 60);
    lblArtist = label("lblArtist", ":  ???", 64, 32, FormWidth - 72);
    label("", "Album", 8, 50, 60);
    lblAlbum = label("lblAlbum", ":  ???", 64, 50, FormWidth - 72);
    label("", "Title", 8, 68, 60);
    lblTitle = label("lblTitle", ":  ???", 64, 68, FormWidth - 72);
    label("", "Genre", 8, 86, 60);
    lblGenre = label("lblGenre", ":  ???", 64, 86, 150);
    label("", "Year", 220, 86, 50);
    lblYear = label("lblYear", ":  ???", 270, 86, 140);
    label("", "Track", 8, 104, 60);
    lblTrack = label("lblTrack", ":  ???", 64, 104, 150);
    lblSerial = label("lblSerial", "Serial No : [ 00000000 ]", 220, 104, 190);
    lblArtist->setStyleSheet(QStringLiteral("color: #00FFFF;"));
    lblTitle->setStyleSheet(QStringLiteral("color: #00FF00;"));

    sgdTrack = new controls::TStringGrid(this);
    sgdTrack->setObjectName(QStringLiteral("sgdTrack"));
    sgdTrack->setGeometry(8, 128, FormWidth - 16, 16 * GridRowHeight + 2);
    lblTotal = label("lblTotal", "00:00", 8, 382, 200);
    spdCan = new controls::TRbButton(this);
    spdCan->setObjectName(QStringLiteral("spdCan"));
    spdCan->SetCaption("閉じる");
    spdCan->setGeometry(FormWidth - 88, 378, 80, 24);
    SetControlCursor(spdCan, crHandPoint);
    Handlers.Set(spdCan->OnClick, [this](QObject*) { spdCanClick(); });

    // FormCreate: centred on the main window; the grid.
    CentreOverMainWindow(this);
    sgdTrack->SetColor(gfx::clBlack);
    sgdTrack->SetDefaultDrawing(false);
    sgdTrack->SetBorderStyle(controls::bsNone);
    sgdTrack->SetGridLineWidth(0);
    sgdTrack->SetScrollBars(controls::ssVertical);
    sgdTrack->SetOptions(controls::goRowSelect);
    sgdTrack->SetColCount(3);
    sgdTrack->SetRowCount(1);
    sgdTrack->SetFixedRows(0);
    sgdTrack->SetFixedCols(0);
    sgdTrack->SetDefaultRowHeight(GridRowHeight);
    const int widths[3] = {30, sgdTrack->width() - 75, 45};
    for (int c = 0; c < 3; ++c)
        sgdTrack->SetColWidths(c, widths[c]);
    Handlers.Set(sgdTrack->OnDrawCell, [this](QObject*, int c, int r, const gfx::TRect& rect, controls::TGridDrawState) {
        drawCell(c, r, rect);
    });
}

TfrmCDDB_INF::~TfrmCDDB_INF()
{
    Handlers.Stop();  // the grid's last paints reach no handler of this window
}

void TfrmCDDB_INF::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    if (started_)
        return;
    started_ = true;
    QTimer::singleShot(0, this, [this] { forms::RunGuarded([this] { lookUp(); }); });
}

void TfrmCDDB_INF::keyPressEvent(QKeyEvent* e)
{
    if (forms::VirtualKey(e->key()) == forms::VK_ESCAPE) {
        close();
        return;
    }
    TForm::keyPressEvent(e);
}

void TfrmCDDB_INF::lookUp()
{
    std::string answer, genre, track, time;
    {
        TfrmCDDB_MP3 w(this);
        w.SetLblCDID(FileOfLabel(lblFile), 0);
        w.ShowModal();
        answer = w.ResultText;
        genre = w.ResultGenre;
        track = w.ResultTrack;
        time = w.ResultTime;
    }
    ShowAlbum(answer, genre, track, time);
}

void TfrmCDDB_INF::ShowAlbum(const std::string& Answer, const std::string& Genre, const std::string& Track,
                             const std::string& Time)
{
    std::string year, title, artist, discId;
    std::vector<std::string> tracks;
    TCDPlayer::ParseXmcd(Answer, year, tracks, title, artist);
    int seconds = -1;
    bool lengthSeen = false;
    for (const QString& l : QString::fromStdString(Answer).split(QLatin1Char('\n'))) {
        const std::string line = l.toStdString();
        // The xmcd comment is "# Disc length: N seconds"; any letter case is taken.
        if (!lengthSeen && l.contains(QLatin1String("disc length"), Qt::CaseInsensitive)) {
            lengthSeen = true;
            std::string digits = "0";
            for (char c : line)
                if (c >= '0' && c <= '9')
                    digits += c;
            if (digits.size() <= 9)
                seconds = std::stoi(digits);
        }
        if (discId.empty() && line.starts_with("DISCID="))
            discId = TrimBlanksUtf8(line.substr(7));
    }

    setCaption(lblArtist, artist.empty() ? "Unknown CD" : ":  " + artist);
    setCaption(lblAlbum, title.empty() ? "Unknown" : ":  " + title);
    setCaption(lblGenre, Genre.empty() ? "???" : ":  " + Genre);
    setCaption(lblYear, year.empty() ? "???" : ":  " + year);
    if (!discId.empty())
        setCaption(lblSerial, "Serial No : [ " + discId + " ]");
    if (!Track.empty())
        setCaption(lblTrack, ":  " + Track + " of " + std::to_string(tracks.size()));

    const int count = int(tracks.size());
    const int index = number(Track) - 1;
    sgdTrack->SetRowCount(std::max(count, 1));
    for (int c = 0; c < 3; ++c)
        sgdTrack->SetCells(c, 0, "");
    for (int i = 0; i < count; ++i) {
        const std::string name = TrimBlanksUtf8(tracks[size_t(i)]);
        sgdTrack->SetCells(0, i, fmt(" %2d.", i + 1));
        sgdTrack->SetCells(1, i, name.empty() ? "Track " + std::to_string(i + 1) : name);
        // The file knows only its own track's time.
        sgdTrack->SetCells(2, i, i == index ? timeCell(Time) : std::string());
    }
    if (index >= 0 && index < count) {
        sgdTrack->SetRow(index);
        setCaption(lblTitle, ":  " + sgdTrack->Cells(1, index));
    }
    if (seconds >= 0)
        setCaption(lblTotal, "Total : " + fmt("%2.2d:%2.2d", seconds / 60, seconds % 60));
}

void TfrmCDDB_INF::drawCell(int Col, int Row, const gfx::TRect& Rect)
{
    static const char* const fonts[3] = {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ ゴシック"};
    DrawGridCell(*sgdTrack, TGridLook{3, fonts, ColumnColors, OutlineColor}, Col, Row, Rect, Row == sgdTrack->Row());
}
