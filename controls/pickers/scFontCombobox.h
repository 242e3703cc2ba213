// `TscFontComboBox`: a flat owner-drawn combo box of the installed font families, each line
// drawn in its own typeface behind a small icon of its kind, with a block of recently chosen
// fonts at the top and, while the list is open, a floating preview (`TFormExampleFont`) of the
// highlighted font. The label designer's font dialog uses one and keeps the recent block in
// its settings (GetUsedFonts / SetUsedFonts).
//
// Items are "name=kind": "TA" a scalable Latin font, "TS" a symbol font, "JS" a font that
// writes Japanese, "R" a bitmap font; one per family of the font database, fonts of other
// scripts left out. (fontconfig knows no vertical "@" families; such names would still be
// put last.) UI thread only.
#pragma once
#include <memory>
#include <string>

#include <QLabel>
#include <QWidget>

#include "controls/pickers/ComboBox97.h"
#include "platform/forms/ImageList.h"
#include "platform/rtl/StringList.h"

namespace controls {

enum TscFontType : unsigned { ftTrueTypeAnsi = 1, ftTrueTypeSymbol = 2, ffShiftJis = 4, ftRaster = 8 };
using TscFontTypes = unsigned;

// The kind code of a family of the font database: "R", "JS", "TS", "TA", or "" for none.
std::string FontKindCode(const QString& family);

// The floating preview: a tool-tip window (never activated, placed relative to the window
// that owns it) with the font's name in a strip on top and a sample in a white panel below.
class TFormExampleFont : public QWidget {
public:
    explicit TFormExampleFont(QWidget* owner);
    QLabel* PanelFontName;
    QLabel* PanelPreview;
    // Places the name strip's and the sample's panels in the window's current size.
    void Arrange();

protected:
    void resizeEvent(QResizeEvent* e) override;
};

class TscFontComboBox : public TComboBox97 {
public:
    explicit TscFontComboBox(QWidget* parent = nullptr);
    ~TscFontComboBox() override;

    const std::string& FontName() const { return fontName_; }
    // Selects the family of that name (or the one the name is mapped to) and applies it.
    void SetFontName(const std::string& name);
    TscFontTypes FontTypes() const { return fontTypes_; }
    void SetFontTypes(TscFontTypes types) { fontTypes_ = types; }
    bool FontUsed() const { return fontUsed_; }
    void SetFontUsed(bool on) { fontUsed_ = on; }
    bool MoveUsedToTop() const { return moveUsedToTop_; }
    void SetMoveUsedToTop(bool on) { moveUsedToTop_ = on; }
    int MaxUsed() const { return maxUsed_; }
    void SetMaxUsed(int n) { maxUsed_ = n; }
    gfx::TColor ColorUsed() const { return colorUsed_; }
    void SetColorUsed(gfx::TColor c) { colorUsed_ = c; }
    bool ShowPreview() const { return showPreview_; }
    void SetShowPreview(bool on) { showPreview_ = on; }
    bool ShowPreviewFontName() const { return showPreviewFontName_; }
    void SetShowPreviewFontName(bool on);
    bool ShowPreviewInList() const { return showPreviewInList_; }
    void SetShowPreviewInList(bool on) { showPreviewInList_ = on; }
    bool ShowPreviewInEdit() const { return showPreviewInEdit_; }
    void SetShowPreviewInEdit(bool on) { showPreviewInEdit_ = on; }
    bool ShowImagesFontType() const { return showImagesFontType_; }
    void SetShowImagesFontType(bool on) { showImagesFontType_ = on; }
    bool TraceWindow() const { return traceWindow_; }
    void SetTraceWindow(bool on) { traceWindow_ = on; }
    const std::string& PreviewText() const { return previewText_; }
    void SetPreviewText(const std::string& text);
    int PreviewWidth() const { return previewWidth_; }
    void SetPreviewWidth(int w);
    int PreviewHeight() const { return previewHeight_; }
    void SetPreviewHeight(int h);

    // Lists the families that FontTypes admits, sorted; the used block is emptied.
    void LoadFonts(bool WithVertical);
    // The used block's lines ("name=kind"), newest first.
    void GetUsedFonts(rtl::TStringList& List) const;
    // Puts List's non-empty lines at the top as the used block, in List's order.
    void SetUsedFonts(const rtl::TStringList& List);
    int UsedCount() const { return usedCount_; }
    bool ListOpen() const { return listOpen_; }
    TFormExampleFont* Preview() const { return preview_; }
    // The sample shown for a family of the given kind.
    std::string SampleText(const std::string& kind) const;

    void DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State) override;

protected:
    void Change() override;
    void DropDown() override;
    void CloseUp() override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void applyItem(int index);
    void placePreview();
    void showInPreview(int index, const std::string& name, const gfx::TFont& font, const std::string& kind);
    gfx::TFont lineFont(const std::string& name) const;
    void updateUsedBlock();
    // The close-up's work on the selection: the font's name and the used block.
    void finishCloseUp();
    std::string fontName_;
    TscFontTypes fontTypes_ = ftTrueTypeAnsi | ftTrueTypeSymbol;
    bool fontUsed_ = false, moveUsedToTop_ = true;
    int maxUsed_ = 5;
    gfx::TColor colorUsed_ = 0x800000;
    bool showPreview_ = true, showPreviewFontName_ = true, showPreviewInList_ = true,
         showPreviewInEdit_ = false, showImagesFontType_ = true, traceWindow_ = false;
    std::string previewText_;
    int previewWidth_ = 240, previewHeight_ = 60;
    int usedCount_ = 0;
    bool listOpen_ = false, loaded_ = false;
    bool closePending_ = false;  // the list closed; its selection is still to come
    bool choosing_ = false;      // a click or Enter in the list is being handled
    bool watchingList_ = false;
    int previewBaseTop_ = 0;
    TFormExampleFont* preview_;
    forms::TImageList icons_;
};

}  // namespace controls
