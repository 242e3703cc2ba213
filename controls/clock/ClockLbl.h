// `TClockLabel`: a label that shows the time in one of five formats, writes the date (Western
// or by Japanese era) into a second label, fires `OnAlarm` when an `EventList` time comes and
// `OnTimeCast` on the chosen five-minute marks, and can lay a bitmap skin from a folder of
// .bmp files on its parent form, behind the form's controls.
//
// A tick (the timer's, one at creation and one on each style change) sets the captions; the
// alarm and the time signal run once per minute, on the first tick of a new "hh:nn". The time
// comes from one clock that tests may replace. The settings save writes into the program's
// settings file (util/libIni) and nothing reads it back; the program never turns it on.
// UI thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "controls/std/Label.h"
#include "platform/forms/Timer.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Formatting.h"

namespace forms {
class TForm;
}

namespace controls {

enum TStyle { ts12Hours, ts12HoursJ, ts24Hours, ts24HoursJ, tsCustom };
enum TDateStyle { dsShort, dsJap, dsJapW, dsGengo, dsGengoW };
enum TTimeCast { tc00, tc05, tc10, tc15, tc20, tc25, tc30, tc35, tc40, tc45, tc50, tc55 };
// A set of TTimeCast: bit k for the mark k x 5 minutes.
using TTimeCasts = uint16_t;
constexpr TTimeCasts TimeCastBit(TTimeCast t) { return TTimeCasts(1u << t); }

using TAlarmEvent = std::function<void(QObject* Sender, int Index)>;
using TTimeCastEvent = std::function<void(QObject* Sender, int Index)>;

// The date-time patterns of the styles, exactly as the clock has always used them (the
// dsJap and dsGengo ones end in an unclosed quote that takes the rest literally).
const std::string& TimeFormatOf(TStyle style);
const std::string& DateFormatOf(TDateStyle style);

class TClockLabel : public TLabel {
public:
    // Where every clock label reads the time; tests put a fixed clock here.
    static std::function<rtl::TDateTime()> Clock;

    explicit TClockLabel(QWidget* parent = nullptr);
    ~TClockLabel() override;

    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned ms);  // 0: no updates
    TStyle Style() const { return style_; }
    void SetStyle(TStyle s);
    const std::string& CustomFormat() const { return customFormat_; }
    void SetCustomFormat(const std::string& format);
    TTimeCasts TimeCast() const { return timeCast_; }
    void SetTimeCast(TTimeCasts set) { timeCast_ = set; }
    const std::vector<std::string>& EventList() const { return eventList_; }
    // Every line must begin with a time "hh:mm"; a list with a line that does not is
    // refused with a message naming the line, and the old list stays. False when refused.
    bool SetEventList(const std::vector<std::string>& lines);
    TDateStyle DateStyle() const { return dateStyle_; }
    void SetDateStyle(TDateStyle s) { dateStyle_ = s; }
    TCustomLabel* DateLabel() const { return dateLabel_; }
    void SetDateLabel(TCustomLabel* label) { dateLabel_ = label; }
    const std::string& ImgDir() const { return imgDir_; }
    // Only on a form. A folder without .bmp files is refused with a message.
    void SetImgDir(const std::string& dir);
    bool ImgAutoSize() const { return imgAutoSize_; }
    void SetImgAutoSize(bool on) { imgAutoSize_ = on; }
    bool IniSave() const { return iniSave_; }
    void SetIniSave(bool on) { iniSave_ = on; }

    TAlarmEvent OnAlarm;
    TTimeCastEvent OnTimeCast;

    // One tick of the clock.
    void Tick();
    // The skins: load one file (an existing .bmp, any case), draw the current one on the
    // parent form, step to the next or previous (wrapping round).
    virtual void LoadSkin(const std::string& fileName);
    virtual void DrawSkin();
    virtual void NextSkin();
    virtual void PrevSkin();
    const std::vector<std::string>& Skins() const { return skins_; }
    int SkinIndex() const { return skinIndex_; }
    const gfx::TBitmap& Skin() const { return skin_; }
    // Writes the clock's settings into the settings file (nothing unless IniSave).
    virtual void SaveToIni();

    static constexpr const char* EventListError = "番目のデータが不正です。";
    static constexpr const char* EventListHint = "hh:mm形式で入力し直してください。";
    static constexpr const char* ImgDirError =
        "拡張子\".BMP\"のファイルがあるディレクトリを指定してください。";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    forms::TForm* parentForm() const;
    void skinStep(int delta);

    forms::TTimer timer_;
    unsigned interval_ = 0;
    TStyle style_ = ts12Hours;
    std::string customFormat_;
    TTimeCasts timeCast_ = 0;
    std::vector<std::string> eventList_;
    TDateStyle dateStyle_ = dsShort;
    QPointer<TCustomLabel> dateLabel_;
    std::string imgDir_;
    bool imgAutoSize_ = true;
    bool iniSave_ = false;
    std::string lastMinute_;  // the "hh:nn" of the last tick
    std::vector<std::string> skins_;
    int skinIndex_ = -1;
    gfx::TBitmap skin_;
    // A plain widget pointer: the form's paint events still reach the filter while the form is
    // torn down past its own class, where a pointer to it would name an object no longer there.
    QPointer<QWidget> skinnedForm_;
};

}  // namespace controls
