#include "cd/forms/xCDDB_MP3.h"

#include "cd/MCDPlayer.h"
#include "tags/libID3Tag.h"
#include "util/MainWindowHost.h"

#include <QLabel>

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace {

// The tag's track number ("3" or "3/12"); -1 when it is not a number.
int trackNumber(const std::string& Track)
{
    const std::string number = Track.substr(0, Track.find('/'));
    int n = -1;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
    return ec == std::errc() && end == number.data() + number.size() ? n : -1;
}

}  // namespace

TfrmCDDB_MP3::TfrmCDDB_MP3(QWidget* parent) : TfrmCDDB(parent)
{
    setObjectName(QStringLiteral("frmCDDB_MP3"));
    flow_.ErrorPauseMs = 10;
    flow_.FallbackPauseMs = 50;
    flow_.MissingTitlesFallBack = false;
    lblCDID = new QLabel(this);
    lblCDID->setObjectName(QStringLiteral("lblCDID"));
    lblCDID->setGeometry(8, 210, 400, 16);
    lblCDID->setProperty("Tag", 0);
}

int TfrmCDDB_MP3::lblCDIDTag() const { return lblCDID->property("Tag").toInt(); }

void TfrmCDDB_MP3::SetLblCDID(const std::string& FileName, int Tag)
{
    lblCDID->setText(QString::fromStdString(FileName));
    lblCDID->setProperty("Tag", Tag);
}

std::string TfrmCDDB_MP3::file() const { return lblCDID->text().toStdString(); }

void TfrmCDDB_MP3::placeWindow()
{
    CentreOverMainWindow(this);
}

// A path that could name another server ("@host" right after ours) or carry header lines
// never leaves here.
std::string TfrmCDDB_MP3::SafeQueryPath(const std::string& Path)
{
    const bool plain = Path.starts_with('/') && std::none_of(Path.begin(), Path.end(), [](char c) {
                           const auto u = static_cast<unsigned char>(c);
                           return u <= 0x20 || u == 0x7F;
                       });
    return plain ? Path : "/";
}

std::string TfrmCDDB_MP3::queryUrl()
{
    ReadTag(file());
    return TCDPlayer::MakeHttpUrl(host_, SafeQueryPath(CurrentTag.CddbPath));
}

bool TfrmCDDB_MP3::storeEntry(const std::string& Text, const std::string& Category)
{
    std::string year, title, artist;
    std::vector<std::string> tracks;
    TCDPlayer::ParseXmcd(Text, year, tracks, title, artist);
    const std::string path = file();
    ReadTag(path);
    // A text the answer lacks keeps what the tag had.
    const int index = trackNumber(CurrentTag.Track) - 1;
    if (index >= 0 && index < int(tracks.size()) && !tracks[size_t(index)].empty())
        CurrentTag.Title = tracks[size_t(index)];
    if (!year.empty())
        CurrentTag.Year = year;
    if (!Category.empty())
        CurrentTag.Genre = Category;
    if (!title.empty())
        CurrentTag.Album = title;
    if (!artist.empty())
        CurrentTag.Artist = artist;
    TMainWindowHost* host = MainWindowHost();
    const bool held = host && host->HoldForTagWrite(path);
    const bool written = WriteTag(path);
    if (held)
        host->ResumeAfterTagWrite();
    if (!written)
        throw std::runtime_error("タグ情報を書き込めませんでした。\r\n" + path);

    const int tag = lblCDIDTag();
    if ((tag == 1 || tag == 2) && host) {
        host->SetListSelectedTexts(tag, {CurrentTag.Title, CurrentTag.Artist, CurrentTag.Album, CurrentTag.Year,
                                         CurrentTag.Genre, CurrentTag.Track});
    } else if (tag == 0) {
        ResultText = Text;
        ResultGenre = Category;
        ResultTrack = CurrentTag.Track;
        ResultTime = CurrentTag.TimeText;
    }
    return false;
}
