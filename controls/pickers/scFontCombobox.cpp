#include "controls/pickers/scFontCombobox.h"

#include <QAbstractItemView>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include "platform/gfx/Bitmap.h"
#include "resources/BuiltinResources.h"

namespace controls {

namespace {

constexpr int NameStripHeight = 20;
constexpr int SamplePixels = 24;
constexpr int IconAnsi = 0, IconSymbol = 1, IconRaster = 2;

bool blank(const std::string& s)
{
    return s.find_first_not_of(" \t") == std::string::npos;
}

std::string kindOf(const std::string& item)
{
    const size_t eq = item.find('=');
    return eq == std::string::npos ? std::string() : item.substr(eq + 1);
}

}  // namespace

std::string FontKindCode(const QString& family)
{
    if (QFontDatabase::isPrivateFamily(family))
        return {};
    if (!QFontDatabase::isScalable(family))
        return "R";
    const QList<QFontDatabase::WritingSystem> scripts = QFontDatabase::writingSystems(family);
    if (scripts.contains(QFontDatabase::Japanese))
        return "JS";
    if (scripts.contains(QFontDatabase::Symbol))
        return "TS";
    if (scripts.contains(QFontDatabase::Latin))
        return "TA";
    return {};
}

// ---- preview window

TFormExampleFont::TFormExampleFont(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      PanelFontName(new QLabel(this)), PanelPreview(new QLabel(this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    PanelFontName->setAlignment(Qt::AlignCenter);
    PanelFontName->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PanelPreview->setAlignment(Qt::AlignCenter);
    PanelPreview->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelPreview->setLineWidth(1);
    PanelPreview->setAutoFillBackground(true);
    QPalette pal = PanelPreview->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    PanelPreview->setPalette(pal);
    QFont sample = PanelPreview->font();
    sample.setPixelSize(SamplePixels);
    sample.setBold(true);
    PanelPreview->setFont(sample);
    resize(240, 60);
}

void TFormExampleFont::Arrange()
{
    const int strip = PanelFontName->isVisibleTo(this) ? NameStripHeight : 0;
    PanelFontName->setGeometry(0, 0, width(), strip);
    PanelPreview->setGeometry(0, strip, width(), std::max(0, height() - strip));
}

void TFormExampleFont::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    Arrange();
}

// ---- the combo box

TscFontComboBox::TscFontComboBox(QWidget* parent)
    : TComboBox97(parent), preview_(new TFormExampleFont(this)), icons_(16, 14)
{
    SetStyle(csOwnerDrawFixed);
    SetItemHeight(18);
    SetDropDownCount(12);
    Font().SetSize(9);
    resize(200, height());
    for (const char* name : {"FONTTRUETYPEANSI", "FONTTRUETYPESYMBOL", "FONTRASTER"}) {
        gfx::TBitmap icon;
        if (LoadBuiltinBitmap(icon, name))
            icons_.AddMasked(icon, icon.TransparentColor());
    }
    preview_->resize(previewWidth_, previewHeight_);
}

TscFontComboBox::~TscFontComboBox() = default;

void TscFontComboBox::showEvent(QShowEvent* e)
{
    TComboBox97::showEvent(e);
    if (!loaded_)
        LoadFonts(true);
}

void TscFontComboBox::LoadFonts(bool WithVertical)
{
    loaded_ = true;
    usedCount_ = 0;
    const unsigned admitted[] = {ftRaster, ffShiftJis, ftTrueTypeSymbol, ftTrueTypeAnsi};
    const char* codes[] = {"R", "JS", "TS", "TA"};
    rtl::TStringList found;
    for (const QString& family : QFontDatabase::families()) {
        const std::string kind = FontKindCode(family);
        for (int k = 0; k < 4; ++k)
            if (kind == codes[k] && (fontTypes_ & admitted[k]))
                found.Add(family.toStdString() + "=" + kind);
    }
    found.Sort();
    rtl::TStringList ordered;
    for (int i = 0; i < found.Count(); ++i)
        if (found[i].find('@') == std::string::npos)
            ordered.Add(found[i]);
    if (WithVertical)
        for (int i = 0; i < found.Count(); ++i)
            if (found[i].find('@') != std::string::npos)
                ordered.Add(found[i]);
    Items().Clear();
    Items().AddStrings(ordered);
}

void TscFontComboBox::GetUsedFonts(rtl::TStringList& List) const
{
    List.Clear();
    auto& items = const_cast<TscFontComboBox*>(this)->Items();
    for (int i = 0; i < usedCount_ && i < items.Count(); ++i)
        List.Add(items[i]);
}

void TscFontComboBox::SetUsedFonts(const rtl::TStringList& List)
{
    for (; usedCount_ > 0 && Items().Count() > 0; --usedCount_)
        Items().Delete(0);
    usedCount_ = 0;
    // Only the lines put in count: an empty line would otherwise make the first ordinary
    // font part of the block.
    for (int i = List.Count() - 1; i >= 0; --i)
        if (!List[i].empty()) {
            Items().Insert(0, List[i]);
            ++usedCount_;
        }
}

void TscFontComboBox::applyItem(int index)
{
    const bool keep = fontUsed_;
    fontUsed_ = false;
    SetItemIndex(index);
    fontName_ = Items().Names(index);
    fontUsed_ = keep;
    TComboBox97::Change();
}

void TscFontComboBox::SetFontName(const std::string& name)
{
    // The whole name is compared: a family whose name merely ends in the one asked for
    // ("DejaVu Sans" for "Sans") is another font.
    for (const std::string& wanted : {name, gfx::MapFontName(name)})
        for (int i = 0; i < Items().Count(); ++i)
            if (Items().Names(i) == wanted) {
                applyItem(i);
                return;
            }
}

void TscFontComboBox::Change()
{
    if (closePending_)
        finishCloseUp();
    if (!listOpen_ && ItemIndex() >= 0)
        fontName_ = Items().Names(ItemIndex());
    TComboBox97::Change();
}

void TscFontComboBox::SetShowPreviewFontName(bool on)
{
    showPreviewFontName_ = on;
    preview_->PanelFontName->setVisible(on);
    preview_->Arrange();
}

void TscFontComboBox::SetPreviewText(const std::string& text)
{
    previewText_ = text;
    if (!blank(text))
        preview_->PanelPreview->setText(QString::fromStdString(text));
}

void TscFontComboBox::SetPreviewWidth(int w)
{
    previewWidth_ = w;
    preview_->resize(previewWidth_, previewHeight_);
}

void TscFontComboBox::SetPreviewHeight(int h)
{
    previewHeight_ = h;
    preview_->resize(previewWidth_, previewHeight_);
}

std::string TscFontComboBox::SampleText(const std::string& kind) const
{
    if (!blank(previewText_))
        return previewText_;
    return kind == "JS" ? "愛あいう012AaBb" : "012AaBb@?";
}

void TscFontComboBox::placePreview()
{
    const QPoint corner = mapToGlobal(QPoint(width(), height()));
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const QRect screenArea = screen() ? screen()->availableGeometry() : QRect();
    int x = corner.x(), y = corner.y();
    if (!screenArea.isEmpty()) {
        if (x + previewWidth_ > screenArea.right() + 1)
            x = origin.x() - previewWidth_;
        if (y + previewHeight_ > screenArea.bottom() + 1)
            y = origin.y() - previewHeight_;
    }
    previewBaseTop_ = y;
    preview_->setGeometry(x, y, previewWidth_, previewHeight_);
}

void TscFontComboBox::DropDown()
{
    listOpen_ = true;
    // Ahead of the list's own handling, which closes the list before it selects the line.
    if (!watchingList_ && view()) {
        watchingList_ = true;
        view()->installEventFilter(this);
        view()->viewport()->installEventFilter(this);
    }
    if (showPreview_) {
        placePreview();
        const int i = ItemIndex();
        if (i >= 0) {
            const std::string name = Items().Names(i);
            showInPreview(i, name, lineFont(name), kindOf(Items()[i]));
        }
        preview_->show();
    }
    TComboBox97::DropDown();
}

void TscFontComboBox::CloseUp()
{
    setFocus(Qt::OtherFocusReason);
    preview_->hide();
    listOpen_ = false;
    if (!choosing_) {
        finishCloseUp();
        return;
    }
    // A line clicked or entered in the list is selected only after the list has closed, and
    // by its row: moving the used block first would hand that row to another font. The
    // selection follows at once (Change), which finishes the close-up.
    closePending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (closePending_)
            finishCloseUp();
    });
}

bool TscFontComboBox::eventFilter(QObject* watched, QEvent* e)
{
    const bool list = view() && (watched == view() || watched == view()->viewport());
    bool choice = list && e->type() == QEvent::MouseButtonRelease;
    // The list takes Enter as its shortcut, before the key itself comes.
    if (list && (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride)) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        choice = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select;
    }
    if (choice && !choosing_) {
        choosing_ = true;
        QTimer::singleShot(0, this, [this] { choosing_ = false; });
    }
    return TComboBox97::eventFilter(watched, e);
}

void TscFontComboBox::finishCloseUp()
{
    closePending_ = false;
    const int sel = ItemIndex();
    if (sel >= 0)
        fontName_ = Items().Names(sel);
    if (moveUsedToTop_ && sel > 0)
        updateUsedBlock();
    TComboBox97::CloseUp();
}

// The chosen font goes to the top of the used block (once), which keeps at most MaxUsed.
void TscFontComboBox::updateUsedBlock()
{
    const std::string text = Items()[ItemIndex()];
    int found = -1;
    for (int i = 0; i < usedCount_ && i < Items().Count(); ++i)
        if (Items()[i] == text) {
            found = i;
            break;
        }
    if (found >= 0) {
        Items().Move(found, 0);
    } else if (fontUsed_) {
        Items().Insert(0, text);
        ++usedCount_;
        if (maxUsed_ > 0 && usedCount_ > maxUsed_) {
            Items().Delete(maxUsed_);
            --usedCount_;
        }
    } else {
        return;
    }
    SetItemIndex(0);
}

gfx::TFont TscFontComboBox::lineFont(const std::string& name) const
{
    gfx::TFont f;
    f.Assign(const_cast<TscFontComboBox*>(this)->Font());
    f.SetName(name);
    return f;
}

void TscFontComboBox::showInPreview(int index, const std::string& name, const gfx::TFont& font,
                                    const std::string& kind)
{
    if (traceWindow_) {
        const int lineTop = view()->visualRect(model()->index(index, 0)).top();
        const int lowest = previewBaseTop_ + ItemHeight() * (DropDownCount() - 1);
        preview_->move(preview_->x(), std::clamp(previewBaseTop_ + lineTop, previewBaseTop_, lowest));
    }
    QFont sample = font.toQFont();
    sample.setPixelSize(SamplePixels);
    sample.setBold(true);
    sample.setStyleStrategy(QFont::PreferDefault);
    preview_->PanelPreview->setFont(sample);
    preview_->PanelPreview->setText(QString::fromStdString(SampleText(kind)));
    preview_->PanelFontName->setText(QString::fromStdString(name));
}

void TscFontComboBox::DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State)
{
    if (Index < 0 || Index >= Items().Count())
        return;
    gfx::TCanvas& c = Canvas();
    const std::string name = Items().Names(Index);
    const std::string kind = kindOf(Items()[Index]);
    const bool edit = State & odComboBoxEdit;
    c.FillRect(Rect);
    if (showImagesFontType_) {
        const int icon = kind == "TA" || kind == "JS" ? IconAnsi : kind == "TS" ? IconSymbol : IconRaster;
        icons_.Draw(c, 2, Rect.Top + 1, icon);
    }
    if (State & odSelected)
        c.Font().SetColor(gfx::clWhite);
    else if (listOpen_ && !edit && Index < usedCount_)
        c.Font().SetColor(colorUsed_);
    const bool ownFace = (showPreviewInList_ && !edit) || (showPreviewInEdit_ && edit);
    if (ownFace && kind != "TS")
        c.Font().SetName(name);
    c.Brush().SetStyle(gfx::bsClear);
    c.TextOut(showImagesFontType_ ? 20 : 4, Rect.Top + 1, name);
    if (!edit && (State & odSelected) && listOpen_ && showPreview_)
        showInPreview(Index, name, lineFont(name), kind);
    if (listOpen_ && moveUsedToTop_ && !edit && Index == usedCount_ - 1) {
        c.Pen().SetColor(gfx::clGray);
        c.MoveTo(0, Rect.Bottom - 1);
        c.LineTo(width(), Rect.Bottom - 1);
    }
}

}  // namespace controls
