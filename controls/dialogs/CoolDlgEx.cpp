#include "controls/dialogs/CoolDlgEx.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QWindow>

#include <filesystem>
#include <map>
#include <vector>

#include "controls/std/Label.h"
#include "controls/std/SpeedButton.h"
#include "pictures/decoders/GraphicCompression.h"
#include "pictures/icons/Icon32.h"
#include "pictures/icons/icoread.h"
#include "pictures/libImg.h"
#include "platform/forms/Hints.h"
#include "platform/forms/Image.h"
#include "platform/gfx/Jpeg.h"
#include "platform/gfx/Picture.h"
#include "platform/midi/MidiPlayer.h"
#include "platform/rtl/FileNames.h"
#include "resources/BuiltinResources.h"
#include "util/libIni.h"

namespace controls {

namespace {

// The room between the dialog's controls and the area, and the area's distance from the
// dialog's right edge (the size grip's corner stays free).
constexpr int AreaGap = 8, AreaRightMargin = 16, AreaTop = 4;
// The full preview's panel: a one-pixel frame and a border of five.
constexpr int PanelFrame = 1, PanelBorder = 5, PanelInset = PanelFrame + PanelBorder;
// How far a picture too large for the work area stays from its edges.
constexpr int WorkAreaMargin = 60;

QScreen* screenOf(const QWidget* w)
{
    QScreen* s = w != nullptr ? w->screen() : nullptr;
    return s != nullptr ? s : QGuiApplication::primaryScreen();
}

// The full preview's panel: window colour inside a single frame.
class TFramePanel : public forms::TCustomControl {
public:
    using forms::TCustomControl::TCustomControl;

protected:
    void Paint() override
    {
        gfx::TCanvas& c = Canvas();
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(gfx::Rect(0, 0, width(), height()));
        c.Brush().SetColor(gfx::clWindowFrame);
        c.FrameRect(gfx::Rect(0, 0, width(), height()));
    }
};

// The picture drawn stretched to w x h into a 24-bit bitmap, nearest pixel, as a stretched
// image draws it. A 24-bit picture is sampled straight from its rows: a photo of twelve
// million pixels then costs its few thousand shown pixels, not a conversion of the whole.
void drawStretched(const gfx::TGraphic& Graphic, gfx::TBitmap& Out, int w, int h)
{
    Out.SetPixelFormat(gfx::pf24bit);
    Out.SetSize(w, h);
    const gfx::TBitmap* source = dynamic_cast<const gfx::TBitmap*>(&Graphic);
    if (const auto* jpeg = dynamic_cast<const gfx::TJPEGImage*>(&Graphic))
        source = &jpeg->Bitmap();
    if (source == nullptr || source->PixelFormat() != gfx::pf24bit) {
        Out.Canvas().StretchDraw(gfx::Rect(0, 0, w, h), Graphic);
        return;
    }
    const int sw = source->Width(), sh = source->Height();
    std::vector<int> column(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x)
        column[std::size_t(x)] = 3 * int(int64_t(x) * sw / w);
    for (int y = 0; y < h; ++y) {
        const uint8_t* from = source->ScanLine(int(int64_t(y) * sh / h));
        uint8_t* to = Out.ScanLine(y);
        for (int x = 0; x < w; ++x, to += 3)
            std::copy_n(from + column[std::size_t(x)], 3, to);
    }
}

}  // namespace

std::string GraphicFilter()
{
    std::vector<std::string> order;
    std::map<std::string, std::string> described;
    for (const gfx::TFileFormat& f : gfx::TPicture::FileFormats()) {
        if (!described.count(f.extension))
            order.push_back(f.extension);
        described[f.extension] = f.description;
    }
    std::string all, each;
    for (const std::string& ext : order) {
        const std::string mask = "*." + ext;
        all += (all.empty() ? "" : ";") + mask;
        each += "|" + described[ext] + " (" + mask + ")|" + mask;
    }
    return "All (" + all + ")|" + all + each;
}

bool IsMidiFileName(const std::string& FileName)
{
    return rtl::HasExtension(FileName, ".mid") || rtl::HasExtension(FileName, ".midi");
}

void TPreviewPanel::Paint()
{
    gfx::TCanvas& c = Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(Color());
    gfx::TRect r = gfx::Rect(0, 0, width(), height());
    c.FillRect(r);
    c.DrawEdge(r, gfx::BDR_SUNKENOUTER | gfx::BDR_RAISEDINNER, gfx::BF_RECT);
}

std::function<std::unique_ptr<midi::TMidiOutput>()> TCOPDCustomArea::MidiOutputFactory = [] {
    return midi::CreateAlsaMidiOutput();
};

TCOPDCustomArea::TCOPDCustomArea(QWidget* Parent)
    : forms::TCustomControl(Parent), full_(std::make_unique<gfx::TPicture>())
{
    setObjectName("COPDCustomArea");
    SetParentColor(false);
    SetColor(gfx::clBtnFace);

    PicturePanel = new TPreviewPanel(this);
    PicturePanel->setObjectName("PicturePanel");
    Image = new forms::TImage(PicturePanel);
    Image->SetStretch(true);
    Image->hide();

    lblHeading = new TLabel(this);
    lblHeading->SetCaption("Preview");
    gfx::TFont heading = lblHeading->Font();
    heading.SetColor(gfx::clBlue);
    lblHeading->SetFont(heading);
    lblHeading->move(6, 6);

    lblSize = new TLabel(this);

    PreviewButton = new TSpeedButton(this);
    PreviewButton->setObjectName("PreviewButton");
    gfx::TBitmap glyph;
    if (LoadBuiltinBitmap(glyph, "PREVIEWGLYPH"))
        PreviewButton->SetGlyph(glyph);
    PreviewButton->SetHint("プレビュー");
    PreviewButton->SetShowHint(true);
    PreviewButton->resize(24, 24);
    PreviewButton->OnClick = [this](QObject*) { PreviewButtonClick(); };

    lblCredit = new TLabel(this);
    lblCredit->SetCaption("Tambourelle");
    gfx::TFont credit = lblCredit->Font();
    credit.SetName("Arial Narrow");
    credit.SetSize(7);
    lblCredit->SetFont(credit);

    ClearPreview();
}

TCOPDCustomArea::~TCOPDCustomArea()
{
    CloseMidi();
}

void TCOPDCustomArea::Resized()
{
    const int w = width(), h = height();
    PicturePanel->SetBounds(0, 28, w - 4, h - 90);
    lblSize->move(w - 16 - lblSize->width(), h - 20);
    PreviewButton->move(w - 5 - PreviewButton->width(), 2);
    lblCredit->move(6, h - 40);
    fitPicture();
    forms::TCustomControl::Resized();
}

void TCOPDCustomArea::ClearPreview()
{
    lblSize->SetCaption("");
    full_->SetGraphic(nullptr);
    Image->Picture().SetGraphic(nullptr);
    Image->hide();
    // Left on, the button would open an empty picture.
    PreviewButton->SetEnabled(false);
}

void TCOPDCustomArea::UpdatePreview(const std::string& FileName)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(FileName, ec)) {
        ClearPreview();
        return;
    }
    if (IsMidiFileName(FileName)) {
        playMidi(FileName);
        return;
    }
    CloseMidi();
    Image->hide();
    if (!loadPicture(FileName)) {
        ClearPreview();
        return;
    }
    Image->SetTransparent(full_->Graphic()->Transparent());
    fitPicture();
    Image->show();
    const gfx::TPicture& p = *full_;
    lblSize->SetCaption("( " + std::to_string(p.Width()) + " x " + std::to_string(p.Height()) + " )");
    lblSize->move(width() - 16 - lblSize->width(), lblSize->y());
    PreviewButton->SetEnabled(true);
}

// Icons try the 32-bit reader first and the general one after, and show see-through;
// everything else goes by the registry. False, with the picture unspecified, when nothing
// could read the file. The picture keeps its own class: the panel shows a fitted copy and the
// full preview draws it, so nothing needs it converted to a bitmap of its full size.
bool TCOPDCustomArea::loadPicture(const std::string& FileName)
{
    gfx::TPicture& picture = *full_;
    drawnAsItIs_ = rtl::HasExtension(FileName, ".gif");
    // A damaged picture clears the preview; a warning box on every click would be in the way.
    const decoders::TSilentDecoderWarnings silent;
    try {
        if (rtl::HasExtension(FileName, ".ico")) {
            TIcon32 icon32;
            if (icon32.LoadFromFile(FileName)) {
                picture.Bitmap().Assign(icon32.Bitmap());
            } else {
                TInternalIcon icon;
                icon.LoadFromFile(FileName);
                int colors = 0;
                const gfx::TBitmap* first = icon.GetImage(0, colors);
                if (first == nullptr || first->Empty())
                    return false;
                picture.Bitmap().Assign(*first);
            }
            picture.Bitmap().SetTransparent(true);
            return !picture.Bitmap().Empty();
        }
        picture.LoadFromFile(FileName);
        if (auto* jpeg = dynamic_cast<gfx::TJPEGImage*>(picture.Graphic())) {
            jpeg->SetPerformance(gfx::jpBestQuality);
            jpeg->SetPixelFormat(gfx::jf24Bit);
            jpeg->SetGrayscale(false);
            jpeg->SetScale(gfx::jsFullSize);
        }
        if (picture.Graphic() == nullptr || picture.Graphic()->Empty())
            return false;
        picture.Graphic()->SetTransparent(false);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TCOPDCustomArea::fitPicture()
{
    const gfx::TGraphic* g = full_->Graphic();
    if (g == nullptr || g->Empty())
        return;
    const TFitRect r = CalcFitRect(g->Width(), g->Height(), PicturePanel->width() - 4, PicturePanel->height() - 4);
    Image->SetBounds(2 + r.Left, 2 + r.Top, r.Width, r.Height);
    if (r.Width <= 0 || r.Height <= 0)
        return;
    // GIF pictures keep their own class (and their animation) and are drawn stretched.
    if (drawnAsItIs_) {
        Image->Picture().Assign(*full_);
        return;
    }
    auto shown = std::make_unique<gfx::TBitmap>();
    drawStretched(*g, *shown, r.Width, r.Height);
    shown->SetTransparent(g->Transparent());
    Image->Picture().TakeGraphic(std::move(shown));
}

void TCOPDCustomArea::playMidi(const std::string& FileName)
{
    ClearPreview();
    if (!midi_) {
        std::string configured;
        try {
            configured = IniReadString(IniBase, "MIDI", "SOUND_FONT", "");
        } catch (const std::exception&) {
        }
        midi_ = std::make_unique<midi::TMidiPlayer>(MidiOutputFactory(), midi::FindSoundFont(configured));
    }
    if (midi_->Open(FileName))
        midi_->Play();
}

std::string TCOPDCustomArea::PlayingMidi() const
{
    return midi_ ? midi_->FileName() : std::string();
}

void TCOPDCustomArea::CloseMidi()
{
    if (midi_)
        midi_->Stop();
}

void TCOPDCustomArea::PreviewButtonClick()
{
    const gfx::TPicture& p = *full_;
    if (p.Graphic() == nullptr || p.Graphic()->Empty() || p.Width() <= 0 || p.Height() <= 0)
        return;
    TPreviewForm form(window(), p);
    form.ShowModal();
}

TPreviewForm::TPreviewForm(QWidget* Owner, const gfx::TPicture& Picture)
    : forms::TForm(Owner), picture_(Picture.Width(), Picture.Height())
{
    setObjectName("PreviewForm");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    SetCaption(" プレビュー");
    Panel = new TFramePanel(this);
    Panel->SetParentColor(false);
    Panel->SetColor(gfx::clWindow);
    Image = new forms::TImage(Panel);
    Image->SetStretch(true);
    Image->Picture().Assign(Picture);
    Image->SetTransparent(Picture.Graphic() != nullptr && Picture.Graphic()->Transparent());
    Image->setCursor(Qt::SizeAllCursor);

    // Dragging the picture moves the window: the window system does it where it can (Wayland
    // places no window otherwise), else the window follows the mouse.
    auto grab = std::make_shared<QPoint>();
    Image->OnMouseDown = [this, grab](QObject*, forms::TMouseButton b, forms::TShiftState, int x, int y) {
        if (b != forms::mbLeft)
            return;
        if (windowHandle() != nullptr && windowHandle()->startSystemMove())
            *grab = QPoint(-1, -1);
        else
            *grab = Image->mapToGlobal(QPoint(x, y)) - pos();
    };
    Image->OnMouseMove = [this, grab](QObject*, forms::TShiftState s, int x, int y) {
        if ((s & forms::ssLeft) && *grab != QPoint(-1, -1))
            move(Image->mapToGlobal(QPoint(x, y)) - *grab);
    };
    resize(clientFor(screenOf(Owner)->availableGeometry()));
}

// The picture's own size when it fits the work area, else scaled, keeping its ratio, to the
// work area less the margin in its tighter dimension; the panel's frame and border around it.
QSize TPreviewForm::clientFor(const QRect& WorkArea) const
{
    int w = picture_.width(), h = picture_.height();
    if (w + 2 * PanelInset > WorkArea.width() || h + 2 * PanelInset > WorkArea.height()) {
        const double scale = std::min(double(WorkArea.width() - WorkAreaMargin) / w,
                                      double(WorkArea.height() - WorkAreaMargin) / h);
        w = std::max(1, int(w * scale + 0.5));
        h = std::max(1, int(h * scale + 0.5));
    }
    return QSize(w + 2 * PanelInset, h + 2 * PanelInset);
}

void TPreviewForm::PlaceOnScreen()
{
    const QRect area = screenOf(this)->availableGeometry();
    resize(clientFor(area));
    const QSize frame = frameGeometry().size();
    move(area.left() + (area.width() - frame.width()) / 2, area.top() + (area.height() - frame.height()) / 2);
}

void TPreviewForm::resizeEvent(QResizeEvent* e)
{
    forms::TForm::resizeEvent(e);
    Panel->SetBounds(0, 0, width(), height());
    Image->SetBounds(PanelInset, PanelInset, std::max(0, width() - 2 * PanelInset),
                     std::max(0, height() - 2 * PanelInset));
}

void TPreviewForm::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        SetModalResult(forms::mrCancel);
        close();
        return;
    }
    forms::TForm::keyPressEvent(e);
}

TCoolOpenPictureDialog::TCoolOpenPictureDialog(QWidget* Owner) : TCoolOpenDialog(Owner)
{
    Filter = GraphicFilter();
}

namespace {

bool hasWildcard(const QString& Text)
{
    return Text.contains(QLatin1Char('*')) || Text.contains(QLatin1Char('?'));
}

// The patterns of a name filter "Text (*.a *.b)", or of a typed "*.a;*.b".
QStringList patternsOf(const QString& NameFilter)
{
    const qsizetype open = NameFilter.lastIndexOf(QLatin1Char('(')), close = NameFilter.lastIndexOf(QLatin1Char(')'));
    const QString inner = open >= 0 && close > open ? NameFilter.mid(open + 1, close - open - 1) : NameFilter;
    QStringList out;
    for (const QString& p : inner.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out << p.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return out;
}

// The name box as the desktop's dialogs have it. A wildcard typed there and entered filters
// the list by it (until another file type is chosen), so a MIDI file, which the picture types
// leave out, can be picked and heard. The name of an existing file that the list's filter
// hides is let through the filter, so the toolkit selects it and lets 開く open it; a typed
// existing file is previewed as a click on it would be.
class TNameBox : public QObject {
public:
    TNameBox(QFileDialog& Dialog, std::function<void(const QString&)> Preview)
        : dialog_(Dialog), preview_(std::move(Preview)), edit_(Dialog.findChild<QLineEdit*>("fileNameEdit")),
          model_(Dialog.findChild<QFileSystemModel*>())
    {
        if (edit_ == nullptr || model_ == nullptr)
            return;
        edit_->installEventFilter(this);
        // After the toolkit's own handlers, which find the typed file among the listed ones.
        connect(edit_, &QLineEdit::textChanged, this, [this](const QString& Text) { typed(Text); });
        connect(&Dialog, &QFileDialog::filterSelected, this, [this] {
            patterns_.clear();
            letThrough_.clear();
        });
        // The toolkit looks again only when the text changes; the filter applies a moment later.
        connect(model_, &QAbstractItemModel::layoutChanged, this, [this] { recheck(); });
        connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { recheck(); });
    }

    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Watched != edit_ || Event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(Event)->key();
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || !hasWildcard(edit_->text()))
            return false;
        patterns_ = patternsOf(edit_->text());
        letThrough_.clear();
        applyFilter();
        return true;  // a wildcard names no file to open
    }

private:
    QString pathOf(const QString& Text) const { return QDir(dialog_.directory()).absoluteFilePath(Text); }

    void typed(const QString& Text)
    {
        if (rechecking_ || Text.isEmpty() || hasWildcard(Text))
            return;
        const QFileInfo info(pathOf(Text));
        if (!info.isFile())
            return;
        if (!model_->index(info.absoluteFilePath()).isValid() && letThrough_ != info.fileName()) {
            letThrough_ = info.fileName();
            applyFilter();
        }
        preview_(info.absoluteFilePath());
    }

    void applyFilter()
    {
        QStringList filter = patterns_.isEmpty() ? patternsOf(dialog_.selectedNameFilter()) : patterns_;
        if (!letThrough_.isEmpty()) {
            QString exact = letThrough_;
            exact.replace(QLatin1Char('['), QLatin1String("[[]"));
            filter << exact;
        }
        model_->setNameFilters(filter);
    }

    // Once the let-through file is listed, the toolkit is shown the typed text again.
    void recheck()
    {
        if (letThrough_.isEmpty() || rechecking_ || edit_->text().isEmpty() || hasWildcard(edit_->text()))
            return;
        const QString path = pathOf(edit_->text());
        if (QFileInfo(path).fileName() != letThrough_ || !model_->index(path).isValid())
            return;
        rechecking_ = true;
        emit edit_->textChanged(edit_->text());
        rechecking_ = false;
    }

    QFileDialog& dialog_;
    std::function<void(const QString&)> preview_;
    QLineEdit* edit_;
    QFileSystemModel* model_;
    QStringList patterns_;  // typed wildcards in force, else the chosen file type's
    QString letThrough_;    // a typed file's name the filter would hide
    bool rechecking_ = false;
};

// Lays the area out when the dialog first shows (later sizes come through Resized).
class TShowWatcher : public QObject {
public:
    explicit TShowWatcher(std::function<void()> OnShow) : onShow_(std::move(OnShow)) {}
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == QEvent::Show)
            onShow_();
        return false;
    }

private:
    std::function<void()> onShow_;
};

}  // namespace

int TCoolOpenPictureDialog::Run(QFileDialog& Dialog)
{
    // The dialog's own controls keep to the left; the area takes the room at the right.
    if (QLayout* layout = Dialog.layout()) {
        QMargins m = layout->contentsMargins();
        m.setRight(AreaWidth + AreaGap + AreaRightMargin);
        layout->setContentsMargins(m);
    }
    area_ = new TCOPDCustomArea(&Dialog);
    // A click shows its file, and so does the name it puts in the name box: once is enough.
    auto previewed = std::make_shared<QString>();
    const auto preview = [this, previewed](const QString& Path) {
        if (Path == *previewed)
            return;
        *previewed = Path;
        area_->UpdatePreview(Path.toStdString());
    };
    QObject::connect(&Dialog, &QFileDialog::currentChanged, area_, preview);
    TNameBox nameBox(Dialog, preview);
    TShowWatcher watcher([this, &Dialog] { placeArea(Dialog); });
    Dialog.installEventFilter(&watcher);
    const int result = TCoolOpenDialog::Run(Dialog);
    Dialog.removeEventFilter(&watcher);
    forms::TApplicationHints::Instance().CancelHint();
    QToolTip::hideText();
    delete area_;  // stops a MIDI file that plays and closes the sound device
    area_ = nullptr;
    return result;
}

void TCoolOpenPictureDialog::Resized(QDialog& Dialog)
{
    placeArea(Dialog);
}

void TCoolOpenPictureDialog::placeArea(QDialog& Dialog)
{
    if (area_ == nullptr)
        return;
    const int left = Dialog.width() - AreaRightMargin - AreaWidth;
    area_->SetBounds(left, AreaTop, AreaWidth, std::max(0, Dialog.height() - 2 * AreaTop));
    area_->show();
    area_->raise();
}

}  // namespace controls
