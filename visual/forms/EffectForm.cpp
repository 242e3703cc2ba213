#include "visual/forms/EffectForm.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "platform/gfx/Picture.h"
#include "sound/DxSound.h"
#include "tags/libID3Tag.h"
#include "tags/libMP3Header.h"
#include "util/Cp932.h"
#include "util/libWindows.h"
#include "visual/VisualResources.h"

namespace visual {

namespace {

const char* const kFont = "ＭＳ Ｐゴシック";
constexpr gfx::TColor kCyan = 0xFFFF00;  // class-library colour: blue and green full

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// A built-in JPEG picture as a 15-bit bitmap, through the BMP bytes of its 24-bit decoding.
std::unique_ptr<bitmap64::TBitmap64> LoadSprite(const char* name)
{
    auto sprite = std::make_unique<bitmap64::TBitmap64>(0, 0, 15);
    gfx::TBitmap bmp;
    LoadResImage(bmp, name, "JPG");
    rtl::TMemoryStream bytes;
    bmp.SaveToStream(bytes);
    bytes.SetPosition(0);
    sprite->LoadFromBMP(bytes);
    return sprite;
}

std::string WithoutNul(const std::string& s)
{
    std::string out;
    for (char c : s)
        if (c != '\0')
            out += c;
    return out;
}

}  // namespace

TfrmEffect::TfrmEffect(TEffectHost& Host, sound::TDxSound& Engine) : host_(Host), engine_(Engine), rng_(std::random_device{}())
{
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Timer3.SetEnabled(false);
    Timer2.SetInterval(50);
    Timer3.SetInterval(30000);
    Timer1.SetOnTimer([this] { Timer1Timer(); });
    Timer2.SetOnTimer([this] { Timer2Timer(); });
    Timer3.SetOnTimer([this] { Timer3Timer(); });
    FormCreate();
}

TfrmEffect::~TfrmEffect()
{
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Timer3.SetEnabled(false);
}

int TfrmEffect::Random(int n)
{
    return n <= 0 ? 0 : int(rng_() % unsigned(n));
}

double TfrmEffect::Scale() const
{
    return std::min(host_.EffectWidth() / 640.0, 1.0);
}

int TfrmEffect::ParticlesInUse() const
{
    return int(std::count_if(particles_.begin(), particles_.end(), [](const TParticle& p) { return p.inUse; }));
}

// ---- window life --------------------------------------------------------------------------

void TfrmEffect::FormCreate()
{
    std::string folder = host_.Mp3Path();
    albumArt_.clear();
    if (!folder.empty())
        FindFiles(albumArt_, folder + "/*.jpg", true);
    SetupPictures();
    BuildCredits();
    BuildInfoPage(false);
}

void TfrmEffect::Show()
{
    if (visible_)
        return;
    visible_ = true;
    FormShow();
}

void TfrmEffect::Close()
{
    if (!visible_)
        return;
    FormCloseQuery();
    visible_ = false;
}

void TfrmEffect::FormShow()
{
    rng_.seed(std::random_device{}());
    closing_ = false;
    grey_ = false;
    bool drawable = screen_ && screen_->Width() >= 1 && screen_->Height() >= 1;
    Timer1.SetEnabled(drawable);
    Timer2.SetEnabled(drawable);
}

void TfrmEffect::FormCloseQuery()
{
    closing_ = true;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Timer3.SetEnabled(false);
}

void TfrmEffect::FreePictures()
{
    screen_.reset();
    text_.reset();
    album_.reset();
    photo_.reset();
    star_.reset();
    flare_.reset();
}

void TfrmEffect::Restart(bool Active)
{
    // Delay lets events run: a second restart meanwhile would free the pictures under this one.
    TReentryGuard guard(restarting_);
    if (!guard)
        return;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Timer3.SetEnabled(false);
    FreePictures();
    Delay(100);
    SetupPictures();
    BuildCredits();
    BuildInfoPage(true);
    bool drawable = screen_->Width() >= 1 && screen_->Height() >= 1;
    Timer1.SetEnabled(Active && drawable);
    Timer2.SetEnabled(Active && drawable);
}

// ---- timers -------------------------------------------------------------------------------

void TfrmEffect::Timer1Timer()
{
    if (!Timer1.Enabled())
        return;
    Timer1.SetEnabled(false);
    if (closing_ || !screen_)
        return;
    DrawFrame();
    textScroll_ += scrollSpeed_;
    if (albumPhase_)
        albumScroll_ += 2;
    Timer1.SetEnabled(true);
}

void TfrmEffect::Timer2Timer()
{
    if (!Timer2.Enabled())
        return;
    Timer2.SetEnabled(false);
    if (closing_ || !screen_)
        return;
    StepParticles();
    screen_->Flip();
    Timer2.SetEnabled(true);
}

void TfrmEffect::Timer3Timer()
{
    Timer3.SetEnabled(false);
    if (closing_)
        return;
    textPhase_ = true;
    scrollSpeed_ = 2;
    textScroll_ = 0;
}

// ---- pictures and pages -------------------------------------------------------------------

void TfrmEffect::SetupPictures()
{
    const int W = std::max(host_.EffectWidth(), 0), H = std::max(host_.EffectHeight(), 0);
    // Below one pixel of width there is nothing to draw and no interval to compute.
    if (W >= 1)
        Timer1.SetInterval(int(std::trunc(1000.0 / W * 17)));
    dotCount_ = -1000;
    dotStep_ = 10;
    screen_ = std::make_unique<bitmap64::TScreen64>(host_.EffectCanvas(), W, H, 15);
    const uint32_t cyan = screen_->MakeColorFromTColor(kCyan);
    text_ = std::make_unique<bitmap64::TScreen64>(W, H, 15);
    album_ = std::make_unique<bitmap64::TScreen64>(W, 1000, 15);
    photo_ = std::make_unique<bitmap64::TScreen64>(360, 360, 15);
    for (bitmap64::TScreen64* layer : {text_.get(), album_.get(), photo_.get()}) {
        layer->Transparent = true;
        layer->TransparentColor = cyan;
        layer->Clear(cyan);
    }
    albumScroll_ = contentHeight_ = 0;
    albumPhase_ = false;

    const std::string folder = host_.Mp3Path();
    int x = 10, y = 10, rowHeight = 0;
    for (const std::string& name : albumArt_) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (!lower.starts_with("albumart") || !FileExists(folder + "/" + name))
            continue;
        gfx::TBitmap picture;
        try {
            gfx::TPicture loaded;
            loaded.LoadFromFile(folder + "/" + name);
            if (!loaded.Graphic())
                continue;
            picture.Assign(*loaded.Graphic());
            picture.SetPixelFormat(gfx::pf24bit);
        } catch (const std::exception&) {
            continue;  // an unreadable picture is left out
        }
        if (picture.Width() < 200)
            continue;
        if (x + picture.Width() > W - 10) {
            y += rowHeight + 10;
            x = 10;
        }
        album_->Bitmap().Canvas().Draw(x, y, picture);
        rowHeight = std::max(rowHeight, picture.Height());
        contentHeight_ = y + picture.Height();
        x += picture.Width() + 10;
    }

    for (TParticle& p : particles_)
        p.inUse = false;
    star_ = LoadSprite("d01");
    star_->DrawGray(0, 0, *star_);
    flare_ = LoadSprite("j01");
    textScroll_ = 0;
    textPhase_ = true;
    gfx::TFont& font = text_->Bitmap().Canvas().Font();
    font.SetName(kFont);
    font.SetColor(gfx::RGB(255, 255, 0));
    text_->Bitmap().Canvas().Brush().SetStyle(gfx::bsClear);
    SetupSparks();
}

void TfrmEffect::BuildCredits()
{
    const double s = Scale();
    const std::vector<TLine> lines = {
        {24, 30, "Tambourelle  music jukebox"},
        {14, 402, "(C) 2026 Tambourelle"},
        {20, 120, " "},
        {12, 40, "Function introduction"},
        {9, 40, " "},
        {12, 40, "Music Player, CD Player, CDDB, CD Ripper, Voice Recorder, Album art"},
        {12, 105, "Play File : *.au;*.aif;*.wav;*.mp1;*.mp2;*.mp3;*.wma;*.mpa;*.jpg"},
        {50, 120, " "},
        {12, 100, "Music for every room of the house"},
        {4, 130, " "},
        {12, 300, "Made by the Tambourelle developers"},
        {90, 120, " "},
    };
    credits_.clear();
    for (const TLine& l : lines)
        credits_.push_back({int(std::trunc(l.Size * s)), int(std::trunc(l.Indent * s)), l.Text});
}

void TfrmEffect::BuildInfoPage(bool Force)
{
    const int W = host_.EffectWidth(), H = host_.EffectHeight();
    const double s2 = std::min(W / 640.0, 1.0);
    margin_ = H < 191 ? 10 : 20;
    const std::string file = engine_.FileNamme();
    if (file == shownFile_ && !Force)
        return;
    shownFile_ = file;
    info_.clear();
    lyrics_.clear();
    photoW_ = photoH_ = 0;
    title_.clear();
    artist_.clear();
    if (FileExists(file)) {
        // The tag editor may be holding the shared records: read into them, take what the
        // page shows, and put them back as they were.
        const TCurrentTag savedTag = CurrentTag;
        const TAudioFileInfo savedInfo = AudioFileInfo;
        ReadTag(file);
        // One file, once a track: a VBR stream without a VBR header has its frames counted,
        // so the page shows the length the tag editor and the player show.
        GetAudioFileInfo(file, true);
        const TCurrentTag tag = CurrentTag;
        const TAudioFileInfo info = AudioFileInfo;
        CurrentTag = savedTag;
        AudioFileInfo = savedInfo;

        const std::string folder = host_.Mp3Path();
        if (photo_ && IsPlainPhotoName(tag.PhotoName) && !folder.empty() && FileExists(folder + "/" + tag.PhotoName)) {
            try {
                gfx::TPicture picture;
                picture.LoadFromFile(folder + "/" + tag.PhotoName);
                if (const gfx::TGraphic* g = picture.Graphic(); g && g->Width() > 0 && g->Height() > 0) {
                    const double f = std::min(W / 1013.0, H / 400.0);
                    const int w = std::min(int(std::trunc(2 * g->Width() * f)), photo_->Width());
                    const int h = std::min(int(std::trunc(2 * g->Height() * f)), photo_->Height());
                    photo_->Clear(photo_->TransparentColor);
                    photo_->Bitmap().Canvas().StretchDraw(gfx::Rect(0, 0, w, h), *g);
                    if (w > 0 && h > 0)
                        photoW_ = w + margin_, photoH_ = h + margin_;
                }
            } catch (const std::exception&) {
                photoW_ = photoH_ = 0;  // an unreadable photo leaves the area empty
            }
        }
        size_t start = 0;
        const std::string& text = tag.Lyrics;
        while (start <= text.size() && !text.empty()) {
            size_t end = text.find('\n', start);
            std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lyrics_.push_back(line);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        auto t = [&](TAudioInfoSlot slot) { return WithoutNul(info.Text[size_t(slot)]); };
        std::string name = cp932::nameForDisplay(std::filesystem::path(file).filename().string());
        const std::vector<TLine> rows = {
            {14, 50, "Audio Tag Infomation"},
            {4, 60, " "},
            {11, 60, "FileName : " + name},
            {11, 60, "Year     : " + tag.Year},
            {11, 60, "Genre    : " + tag.Genre},
            {11, 60, "Album    : " + tag.Album},
            {11, 60, "Artist   : " + tag.Artist},
            {11, 60, "Title    : " + tag.Title},
            {11, 60, "Track    : " + tag.Track},
            {11, 60, "Comment  : " + tag.Comment},
            {13, 60, " "},
            {14, 50, "Audio File Infomation "},
            {4, 60, " "},
            {11, 60, "ID3 TAG       : " + tag.TagKind},
            {11, 60, "Mpeg Version  : " + t(aiVersion)},
            {11, 60, "Start Byte    : " + t(aiStartByte)},
            {11, 60, "Original      : " + t(aiOriginal)},
            {11, 60, "VBR           : " + t(aiVbr)},
            {11, 60, "CRC           : " + t(aiCrc)},
            {11, 60, "File Size     : " + t(aiFileSize)},
            {11, 60, "Frame Count   : " + t(aiFrames)},
            {11, 60, "Frame Samples : " + t(aiSamples)},
            {11, 60, "Duration      : " + t(aiDuration)},
            {11, 60, "Sample Rate   : " + t(aiSampleRate)},
            {11, 60, "Bit Rate      : " + t(aiBitRate)},
            {11, 60, "Audio Mode    : " + t(aiChannelMode)},
        };
        for (const TLine& l : rows)
            info_.push_back({int(std::trunc(l.Size * s2)), int(std::trunc(l.Indent * s2)), l.Text});
        title_ = tag.Title;
        artist_ = tag.Artist;
    }
    lyricsOnly_ = false;
    scrollSpeed_ = 2;
    dotCount_ = -1000;
    textPhase_ = true;
    albumPhase_ = false;
    textScroll_ = 0;
    Timer3.SetEnabled(false);
    SetupSparks();
}

void TfrmEffect::SetupSparks()
{
    const int W = host_.EffectWidth(), H = host_.EffectHeight();
    const double s = Scale();
    for (size_t i = 0; i < sparks_.size(); ++i) {
        TSpark& sp = sparks_[i];
        sp.x = int(i) * std::max(W, 1) / int(sparks_.size()) - 100;
        sp.base = H - 100 - int(i % 4) * int(std::trunc(25 * s));
        sp.factor = 1 + int(i % 3);
        sp.speed = Random(6) + 2;
        sp.wr = sp.wg = sp.wb = 0.5;
    }
}

// ---- one frame ----------------------------------------------------------------------------

void TfrmEffect::DrawFrame()
{
    if (!screen_ || screen_->Width() < 1 || screen_->Height() < 1)
        return;
    bitmap64::TScreen64& screen = *screen_;
    const int W = screen.Width(), H = screen.Height();
    if (Random(100) == 1) {
        int c1 = Random(50), c2 = Random(c1), c3 = Random(c2);
        bgB_ = uint8_t(c1), bgG_ = uint8_t(c2), bgR_ = uint8_t(c3);
    }
    BuildInfoPage(false);
    screen.Clear(screen.MakeColor(bgR_, bgG_, bgB_));
    if (albumPhase_ && !albumArt_.empty()) {
        screen.DrawLens(0, H - albumScroll_, *album_);
        if (H - albumScroll_ < -(contentHeight_ + 50)) {
            Timer3.SetEnabled(true);
            albumPhase_ = false;
            albumScroll_ = 0;
        }
    }
    text_->Clear(text_->TransparentColor);
    gfx::TCanvas& canvas = text_->Bitmap().Canvas();
    if (textPhase_)
        DrawTextPage();

    const double s = Scale();
    canvas.Font().SetName(kFont);
    canvas.Font().SetColor(gfx::RGB(255, 255, 255));
    canvas.Font().SetSize(std::max(1, int(std::trunc(std::max(s, 0.83) * 11))));
    const int titleHeight = canvas.TextHeight(title_.empty() ? " " : title_);
    canvas.TextOut(W - canvas.TextWidth(title_) - 10, 10, title_);
    canvas.TextOut(W - canvas.TextWidth(artist_) - 10, titleHeight + 15, artist_);

    const uint32_t scan = screen.MakeColor(0, 0, 100);
    for (int i = 0; i <= H / 2; ++i)
        screen.HLineBlend(0, 2 * i + (textScroll_ % 2) - 1, scan, W + 1);
    screen.DrawLens(0, 0, *text_);

    dotCount_ += dotStep_;
    if (dotCount_ > 10000)
        dotCount_ = 10000, dotStep_ = -10;
    if (dotCount_ < -1000)
        dotCount_ = -1000, dotStep_ = 10;
    for (int i = 0; dotCount_ >= 0 && i <= dotCount_; ++i) {
        int y = Random(H);
        screen.BlendPixel(Random(W), y, 0xFFFF);
    }
    DrawFlares();
    const int played = host_.Gauge1Position();
    grey_ = (played >= 10 && played <= 19) || (played >= 91 && played <= 99);
    if (grey_)
        screen.DrawGray(0, 0, screen);
    screen.Flip();
}

void TfrmEffect::DrawTextPage()
{
    bitmap64::TScreen64& screen = *screen_;
    const int W = screen.Width(), H = screen.Height();
    const double s2 = Scale();
    gfx::TCanvas& canvas = text_->Bitmap().Canvas();
    canvas.Font().SetName(kFont);
    canvas.Font().SetColor(gfx::RGB(255, 255, 0));
    canvas.Brush().SetStyle(gfx::bsClear);
    int y = H - textScroll_;
    // Information lines holding a colon are set in two columns: the label, then the value
    // from one character before the colon on.
    auto line = [&](int size, int indent, const std::string& text, bool columns) {
        canvas.Font().SetSize(std::max(size, 1));
        const int height = canvas.TextHeight(text);
        // Lines wholly above or below the screen only take their room.
        if (y + height >= 0 && y < H) {
            size_t colon = text.find(':');
            if (columns && colon != std::string::npos && colon > 0) {
                canvas.TextOut(indent, y, text.substr(0, colon));
                canvas.TextOut(indent + 110, y, text.substr(colon - 1));
            } else {
                canvas.TextOut(indent, y, text);
            }
        }
        y += height;
    };
    for (const TLine& l : credits_)
        line(l.Size, l.Indent, l.Text, false);
    if (!engine_.FileNamme().empty() && !lyricsOnly_)
        for (const TLine& l : info_)
            line(l.Size, l.Indent, l.Text, true);
    y += 2 * H;
    const int lyricsStart = y;
    const int lyricSize = int(std::trunc(12 * s2)), lyricIndent = int(std::trunc(50 * s2));
    for (const std::string& l : lyrics_) {
        // Lyrics are drawn whole: a colon in a sung line is no column.
        canvas.Font().SetSize(std::max(lyricSize, 1));
        const std::string text = l.empty() ? " " : l;
        const int height = canvas.TextHeight(text);
        if (y + height >= 0 && y < H)
            canvas.TextOut(lyricIndent, y, text);
        y += int(std::trunc((l.empty() ? 1.25 : 2.0) * height));
    }
    if (lyricsStart < H + 32)
        scrollSpeed_ = 1;
    const int lyricsEnd = y;
    if (photoW_ > 0) {
        const int px = W - (photoW_ + margin_);
        const int py = lyricsEnd > H - (photoH_ + margin_)
                           ? std::max(lyricsStart - (photoH_ + margin_) - 10, H - (photoH_ + margin_))
                           : lyricsEnd;
        screen.DrawLens(px, py, *photo_);
    }
    if (lyricsEnd < -(photoH_ + margin_)) {
        if (albumArt_.empty())
            Timer3.SetEnabled(true);
        if (!lyrics_.empty())
            lyricsOnly_ = true;
        albumPhase_ = true;
        textPhase_ = false;
        scrollSpeed_ = 2;
    }
}

void TfrmEffect::DrawFlares()
{
    bitmap64::TScreen64& screen = *screen_;
    const int W = screen.Width(), H = screen.Height();
    const double s = Scale();
    auto wobble = [&] { return Random(int(std::trunc(20 * s))) / 2 + int(std::trunc(3 * s)); };
    const int baseY = H - 100;
    const int lx = (W / 100) * 40 - 100 + wobble();
    const int ly = baseY - int(std::lround(host_.LevelBarPosition(0) * H / 150.0)) + wobble();
    const int rx = (W / 100) * 60 - 100 + wobble();
    const int ry = baseY - int(std::lround(host_.LevelBarPosition(1) * H / 150.0)) + wobble();
    screen.DrawAdd(lx, ly, 1.0, 1.0, 1.0, *flare_);
    screen.DrawAdd(rx, ry, 0.5, 1.0, 1.0, *flare_);
    for (size_t i = 0; i < sparks_.size(); ++i) {
        TSpark& sp = sparks_[i];
        sp.x += sp.speed;
        if (sp.x > W)
            sp.x = -100;
        int lift = int(host_.PaneLevel(int(i % 2))) * sp.factor;
        if (Random(4) == 0)
            lift = -lift;
        const int y = sp.base + wobble() - lift;
        if (Random(20) == 0) {
            sp.wr = (Random(8) + 2) / 10.0;
            sp.wg = (Random(8) + 2) / 10.0;
            sp.wb = (Random(8) + 2) / 10.0;
        }
        screen.DrawAdd(sp.x, y, sp.wr, sp.wg, sp.wb, *flare_);
        if (Random(20) == 0)
            sp.speed = Random(6) + 2;
        for (auto [fx, fy] : {std::pair{lx, ly}, {rx, ry}})
            if (std::abs(sp.x - fx) < 50 && std::abs(y - fy) < 50) {
                Explode(sp.x + flare_->Width() / 2, y + flare_->Height() / 2);
                break;
            }
    }
}

void TfrmEffect::Explode(int x, int y)
{
    if (!screen_)
        return;
    if (x < 0) {
        x = Random(screen_->Width() - 100);
        y = Random(screen_->Height() - 100);
    }
    for (int n = Random(30) + 10; n > 0; --n) {
        auto slot = std::find_if(particles_.begin() + 1, particles_.end(), [](const TParticle& p) { return !p.inUse; });
        if (slot == particles_.end())
            return;
        int c1 = Random(10), c2 = Random(c1), c3 = Random(c2);
        *slot = TParticle{true, double(x + Random(100) - 50), double(y + Random(100) - 50),
                          Random(360) * std::numbers::pi / 180, double(Random(20) + 10), 0, 1,
                          c1 / 10.0, c2 / 10.0, c3 / 10.0};
    }
}

void TfrmEffect::StepParticles()
{
    if (!screen_ || !star_)
        return;
    for (TParticle& p : particles_) {
        if (!p.inUse)
            continue;
        // A particle travels a third of its speed per unit of age.
        const double d = p.age * p.speed / 3;
        const int x = int(p.x0 + std::cos(p.angle) * d) - star_->Width() / 2;
        const int y = int(p.y0 + std::sin(p.angle) * d) - star_->Height() / 2;
        screen_->DrawAdd(x, y, p.wr, p.wg, p.wb, *star_);
        p.age += p.rate;
        if (p.age >= 15.0)
            p.inUse = false;
    }
}

}  // namespace visual
