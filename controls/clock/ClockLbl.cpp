#include "controls/clock/ClockLbl.h"

#include <algorithm>
#include <stdexcept>

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPainter>

#include "platform/forms/Application.h"
#include "platform/forms/Form.h"
#include "platform/rtl/AsciiCase.h"
#include "util/libIni.h"

namespace controls {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether a line begins with a time of day written "hh:mm".
bool beginsWithTime(const std::string& line)
{
    if (line.size() < 5 || !isDigit(line[0]) || !isDigit(line[1]) || line[2] != ':' ||
        !isDigit(line[3]) || !isDigit(line[4]))
        return false;
    const int hour = (line[0] - '0') * 10 + (line[1] - '0');
    const int minute = (line[3] - '0') * 10 + (line[4] - '0');
    return hour < 24 && minute < 60;
}

bool isBmpName(const std::string& path)
{
    return rtl::LowerAscii(QFileInfo(QString::fromStdString(path)).suffix().toStdString()) == "bmp";
}

// The form's border style as the settings have always numbered it: none, single (fixed
// size), sizeable.
int borderStyleOf(const QWidget& form)
{
    if (form.windowFlags() & Qt::FramelessWindowHint)
        return 0;
    return form.minimumSize() == form.maximumSize() ? 1 : 2;
}

}  // namespace

std::function<rtl::TDateTime()> TClockLabel::Clock = [] { return rtl::Now(); };

const std::string& TimeFormatOf(TStyle style)
{
    static const std::string formats[] = {
        "AM/PM hh:nn:ss",
        "ampmhh\"時\"nn\"分\"ss\"秒\"",
        "hh:nn:ss",
        "hh\"時\" nn\"分\" ss\"秒\"",
    };
    static const std::string none;
    return style >= ts12Hours && style <= ts24HoursJ ? formats[style] : none;
}

const std::string& DateFormatOf(TDateStyle style)
{
    static const std::string formats[] = {
        "yy/mm/dd",
        "yyyy\"年\"m\"月\"d\"日",
        "yyyy\"年\"m\"月\"d\"日(\"aaa\")\"",
        "ggge\"年\"m\"月\"d\"日",
        "ggge\"年\"m\"月\"d\"日(\"aaa\")\"",
    };
    return formats[std::clamp(int(style), 0, 4)];
}

TClockLabel::TClockLabel(QWidget* parent) : TLabel(parent)
{
    timer_.SetInterval(0);
    timer_.SetOnTimer([this] { Tick(); });
    Tick();
}

TClockLabel::~TClockLabel()
{
    if (skinnedForm_)
        skinnedForm_->removeEventFilter(this);
}

void TClockLabel::SetInterval(unsigned ms)
{
    interval_ = ms;
    timer_.SetInterval(int(std::min<unsigned>(ms, 0x7FFFFFFF)));
}

void TClockLabel::SetStyle(TStyle s)
{
    style_ = s;
    Tick();
}

void TClockLabel::SetCustomFormat(const std::string& format)
{
    customFormat_ = format;
    Invalidate();
    Tick();
}

bool TClockLabel::SetEventList(const std::vector<std::string>& lines)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!beginsWithTime(lines[i])) {
            forms::HandleException(std::invalid_argument(
                std::to_string(i + 1) + EventListError + "\n" + EventListHint));
            return false;
        }
    }
    eventList_ = lines;
    return true;
}

void TClockLabel::Tick()
{
    const rtl::TDateTime now = Clock();
    SetCaption(rtl::FormatDateTime(style_ == tsCustom ? customFormat_ : TimeFormatOf(style_), now));
    if (dateLabel_)
        dateLabel_->SetCaption(rtl::FormatDateTime(DateFormatOf(dateStyle_), now));
    const std::string minute = rtl::FormatDateTime("hh:nn", now);
    if (minute == lastMinute_)
        return;
    lastMinute_ = minute;
    for (size_t i = 0; i < eventList_.size(); ++i) {
        if (eventList_[i].compare(0, 5, minute) == 0) {
            if (OnAlarm)
                OnAlarm(this, int(i));
            break;
        }
    }
    const int m = std::stoi(minute.substr(3));
    if (m % 5 == 0 && (timeCast_ & (1u << (m / 5))) && OnTimeCast)
        OnTimeCast(this, m / 5);
}

forms::TForm* TClockLabel::parentForm() const
{
    return dynamic_cast<forms::TForm*>(parentWidget());
}

void TClockLabel::SetImgDir(const std::string& dir)
{
    if (!parentForm() || dir == imgDir_)
        return;
    std::vector<std::string> found;
    if (!dir.empty()) {
        const QDir folder(QString::fromStdString(dir));
        const QStringList names =
            folder.entryList({"*.bmp"}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : names)
            found.push_back(dir + "/" + name.toStdString());
        if (found.empty()) {
            forms::HandleException(std::invalid_argument(ImgDirError));
            return;
        }
    }
    imgDir_ = dir;
    skins_ = std::move(found);
    skinIndex_ = -1;
    if (skins_.empty()) {
        skin_.SetSize(0, 0);
        DrawSkin();
        return;
    }
    skinIndex_ = 0;
    LoadSkin(skins_[0]);
}

void TClockLabel::LoadSkin(const std::string& fileName)
{
    if (!isBmpName(fileName) || !QFileInfo(QString::fromStdString(fileName)).isFile())
        return;
    gfx::TBitmap loaded;
    loaded.LoadFromFile(fileName);  // a damaged file raises and leaves the skin as it was
    skin_.Assign(loaded);
    DrawSkin();
}

void TClockLabel::DrawSkin()
{
    forms::TForm* form = parentForm();
    if (!form)
        return;
    if (skinnedForm_ != static_cast<QWidget*>(form)) {
        if (skinnedForm_)
            skinnedForm_->removeEventFilter(this);
        skinnedForm_ = form;
        form->installEventFilter(this);
    }
    if (imgAutoSize_ && !skin_.Empty())
        form->resize(skin_.Width(), skin_.Height());
    form->update();
}

// The skin lies on the form's own face: painted after its background and before its
// controls, which paint over it.
bool TClockLabel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == skinnedForm_ && event->type() == QEvent::Paint && !skin_.Empty()) {
        QPainter p(skinnedForm_);
        const QImage image = skin_.ToImage();
        if (imgAutoSize_)
            p.drawImage(0, 0, image);
        else
            p.drawImage(skinnedForm_->rect(), image);
    }
    return TLabel::eventFilter(watched, event);
}

void TClockLabel::skinStep(int delta)
{
    const int n = int(skins_.size());
    if (n == 0)
        return;
    skinIndex_ = ((skinIndex_ + delta) % n + n) % n;
    LoadSkin(skins_[size_t(skinIndex_)]);
    if (dateLabel_)
        dateLabel_->Invalidate();
}

void TClockLabel::NextSkin() { skinStep(1); }
void TClockLabel::PrevSkin() { skinStep(-1); }

void TClockLabel::SaveToIni()
{
    if (!iniSave_)
        return;
    using Values = std::vector<std::pair<std::string, std::string>>;
    auto num = [](long long v) { return std::to_string(v); };
    auto flag = [](bool v) { return std::string(v ? "1" : "0"); };
    if (const forms::TForm* form = parentForm()) {
        IniWriteStrings(IniBase, "Window", Values{
            {"Top", num(form->y())}, {"Left", num(form->x())},
            {"Height", num(form->height())}, {"Width", num(form->width())},
            {"BorderStyle", num(borderStyleOf(*form))}});
    }
    const gfx::TFont& f = Font();
    IniWriteStrings(IniBase, "Clock", Values{
        {"Top", num(y())}, {"Left", num(x())}, {"FontName", f.Name()},
        {"FontSize", num(f.Size())}, {"FontColor", num(int32_t(f.Color()))},
        {"FontStyle", num(f.Style())}, {"Format", customFormat_}, {"Style", num(style_)},
        {"Color", num(int32_t(Color()))}, {"Transparent", flag(Transparent())},
        {"TimeCast", num(timeCast_)}});
    IniWriteStrings(IniBase, "Image", Values{{"AutoSize", flag(imgAutoSize_)}, {"Directory", imgDir_}});
    if (const TCustomLabel* d = dateLabel_) {
        const gfx::TFont& df = d->Font();
        IniWriteStrings(IniBase, "Date", Values{
            {"Top", num(d->y())}, {"Left", num(d->x())}, {"Visible", flag(!d->isHidden())},
            {"Color", num(int32_t(d->Color()))}, {"Transparent", flag(d->Transparent())},
            {"FontName", df.Name()}, {"FontSize", num(df.Size())},
            {"FontColor", num(int32_t(df.Color()))}, {"FontStyle", num(df.Style())},
            {"DateStyle", num(dateStyle_)}});
    }
    IniWriteSectionList(IniBase, "EventList", eventList_);
}

}  // namespace controls
