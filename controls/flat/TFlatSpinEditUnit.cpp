#include "controls/flat/TFlatSpinEditUnit.h"

#include <initializer_list>
#include <string_view>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include "platform/forms/Application.h"

namespace controls {

namespace {

// `s` without any of `drop` (texts) and with every "(" and ")" gone; `parenthesised` tells
// whether there was one.
std::string without(const std::string& s, std::initializer_list<std::string_view> drop, bool& parenthesised)
{
    std::string out;
    parenthesised = false;
    for (size_t i = 0; i < s.size();) {
        bool skipped = false;
        for (std::string_view d : drop)
            if (!d.empty() && std::string_view(s).substr(i, d.size()) == d) {
                i += d.size();
                skipped = true;
                break;
            }
        if (skipped)
            continue;
        if (s[i] == '(' || s[i] == ')')
            parenthesised = true;
        else
            out += s[i];
        ++i;
    }
    return out;
}

}  // namespace

TFlatSpinEditFloat::TFlatSpinEditFloat(QWidget* parent)
    : TCustomFlatEdit(parent), button_(new TSpinButton(this))
{
    button_->resize(22, 10);
    button_->SetFocusControl(this);
    button_->OnUpClick = [this](QObject*) { UpClick(); };
    button_->OnDownClick = [this](QObject*) { DownClick(); };
    button_->setCursor(Qt::ArrowCursor);
    button_->show();
    SetText(std::string{'0', rtl::DecimalSeparator, '0', '0'});
    QObject::connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange)
            forms::RunGuarded([this] { OnChange(this); });
    });
    layoutButton();
}

void TFlatSpinEditFloat::SetDigits(int digits)
{
    digits_ = digits;
    reformat();
}

void TFlatSpinEditFloat::SetPrecision(int precision)
{
    precision_ = precision;
    reformat();
}

void TFlatSpinEditFloat::SetFloatFormat(rtl::TFloatFormat format)
{
    floatFormat_ = format;
    reformat();
}

double TFlatSpinEditFloat::GetValue() const
{
    const std::string text = Text();
    const char thousands[] = {rtl::ThousandSeparator, 0};
    bool negative = false;
    const std::string s = without(text.empty() ? "0" : text, {rtl::CurrencyString, " ", thousands}, negative);
    double v = 0;
    if (!rtl::TryStrToFloat(s, v))
        return minValue_;
    return negative ? -v : v;
}

double TFlatSpinEditFloat::CheckValue(double value) const
{
    if (minValue_ != maxValue_) {
        if (value < minValue_)
            return minValue_;
        if (value > maxValue_)
            return maxValue_;
    }
    return value;
}

void TFlatSpinEditFloat::SetValue(double value)
{
    SetText(rtl::FloatToStrF(CheckValue(value), floatFormat_, precision_, digits_));
    setCursorPosition(int(text().size()));
}

void TFlatSpinEditFloat::UpClick()
{
    if (!isReadOnly())
        SetValue(GetValue() + increment_);
}

void TFlatSpinEditFloat::DownClick()
{
    if (!isReadOnly())
        SetValue(GetValue() - increment_);
}

bool TFlatSpinEditFloat::acceptsChar(char32_t ch) const
{
    const bool control = ch < 0x20 || ch == 0x7F;
    if (control)
        return ch != U'\r' && (editorEnabled_ || ch != U'\b');
    const bool number = ch == U'+' || ch == U'-' || (ch >= U'0' && ch <= U'9') ||
                        ch == char32_t(rtl::DecimalSeparator);
    return number && editorEnabled_;
}

void TFlatSpinEditFloat::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
        forms::RunGuarded([&] { e->key() == Qt::Key_Up ? UpClick() : DownClick(); });
        e->accept();
        return;
    }
    if ((e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut)) && !pasteAllowed()) {
        e->accept();
        return;
    }
    const QString text = e->text();
    const bool typed = !text.isEmpty() && e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter &&
                       !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (typed && !acceptsChar(text.toUcs4().value(0))) {
        e->accept();
        return;
    }
    TCustomFlatEdit::keyPressEvent(e);
}

void TFlatSpinEditFloat::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu* menu = createStandardContextMenu();
    for (QAction* a : menu->actions())
        if (a->objectName() == QLatin1String("edit-paste") || a->objectName() == QLatin1String("edit-cut"))
            a->setEnabled(a->isEnabled() && pasteAllowed());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

void TFlatSpinEditFloat::focusInEvent(QFocusEvent* e)
{
    TCustomFlatEdit::focusInEvent(e);
    if (autoSelect_ && !(QApplication::mouseButtons() & Qt::LeftButton))
        selectAll();
}

void TFlatSpinEditFloat::focusOutEvent(QFocusEvent* e)
{
    TCustomFlatEdit::focusOutEvent(e);
    const double v = GetValue();
    if (CheckValue(v) != v)
        forms::RunGuarded([&] { SetValue(v); });
}

void TFlatSpinEditFloat::layoutButton()
{
    const int minHeight = QFontMetrics(font()).height() + 7;
    if (height() < minHeight) {
        resize(width(), minHeight);  // comes back through resizeEvent
        return;
    }
    // The frame takes three pixels on every side; the buttons stand inside it.
    button_->SetBounds(width() - button_->width() - 5, 3, button_->width(), height() - 6);
    setTextMargins(3, 3, button_->width() + 3, 3);
}

void TFlatSpinEditFloat::resizeEvent(QResizeEvent* e)
{
    TCustomFlatEdit::resizeEvent(e);
    layoutButton();
}

void TFlatSpinEditFloat::changeEvent(QEvent* e)
{
    TCustomFlatEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        layoutButton();
}

}  // namespace controls
