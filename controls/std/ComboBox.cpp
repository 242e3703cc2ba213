#include "controls/std/ComboBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "platform/forms/Application.h"
#include "platform/gfx/Raster.h"

namespace controls {

TComboBox::TComboBox(QWidget* parent) : TControlProperties(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(8);
    setFocusPolicy(Qt::StrongFocus);
    resize(145, 21);
    items_.OnChange = [this] { syncItems(); };
    font_.OnChange = [this] { setFont(font_.toQFont()); };
    setFont(font_.toQFont());
    // Only what the user does counts as a change.
    QObject::connect(this, &QComboBox::activated, this,
                     [this](int) { forms::RunGuarded([this] { Change(); }); });
    connectEdit();
}

TComboBox::~TComboBox() = default;

// Typing in the edit is a change; each new edit (after a style change) is connected once.
void TComboBox::connectEdit()
{
    lineEdit()->setFont(font());
    QObject::connect(lineEdit(), &QLineEdit::textEdited, this,
                     [this](const QString&) { forms::RunGuarded([this] { Change(); }); });
}

// Brings the drop-down's entries in line with Items, touching only what differs; the choice
// stays on its index while that index still exists.
void TComboBox::syncItems()
{
    const QSignalBlocker block(this);
    const int keep = currentIndex();
    const QString text = lineEdit() ? lineEdit()->text() : QString();
    const int common = std::min(count(), items_.Count());
    for (int i = 0; i < common; ++i)
        if (itemText(i).toStdString() != items_[i])
            setItemText(i, QString::fromStdString(items_[i]));
    while (count() > items_.Count())
        removeItem(count() - 1);
    for (int i = count(); i < items_.Count(); ++i)
        addItem(QString::fromStdString(items_[i]));
    setCurrentIndex(keep < count() ? keep : -1);
    if (lineEdit())
        lineEdit()->setText(items_.Count() == 0 ? QString() : text);
}

void TComboBox::SetItemIndex(int index)
{
    if (index < -1 || index >= count())
        index = -1;
    const QSignalBlocker block(this);
    setCurrentIndex(index);
    if (index == -1 && lineEdit())
        lineEdit()->clear();
}

std::string TComboBox::Text() const
{
    return currentText().toStdString();
}

void TComboBox::SetText(const std::string& text)
{
    const QSignalBlocker block(this);
    if (!lineEdit()) {
        SetItemIndex(items_.IndexOf(text));
        return;
    }
    lineEdit()->setText(QString::fromStdString(text));
}

void TComboBox::SetStyle(TComboBoxStyle s)
{
    if (s == style_)
        return;
    style_ = s;
    const bool editable = s == csDropDown || s == csSimple;
    if (editable == isEditable())
        return;
    const QSignalBlocker block(this);
    const int keep = currentIndex();
    setEditable(editable);
    if (lineEdit())
        connectEdit();
    setCurrentIndex(keep);
}

void TComboBox::SetDroppedDown(bool on)
{
    if (on == droppedDown_)
        return;
    on ? showPopup() : hidePopup();
}

void TComboBox::SetColor(gfx::TColor c)
{
    color_ = c;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(gfx::raster::toQRgb(c)));
    setPalette(pal);
}

void TComboBox::SetTabStop(bool on)
{
    tabStop_ = on;
    setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

void TComboBox::showPopup()
{
    if (droppedDown_)
        return;
    forms::RunGuarded([this] { DropDown(); });
    droppedDown_ = true;
    QComboBox::showPopup();
    // The list's window also closes by itself (a click elsewhere) without hidePopup.
    QWidget* list = view()->window();
    if (list != window() && list != watchedList_) {
        list->installEventFilter(this);
        watchedList_ = list;
    }
}

void TComboBox::hidePopup()
{
    QComboBox::hidePopup();
    popupClosed();
}

bool TComboBox::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::Hide && watched == view()->window())
        popupClosed();
    return QComboBox::eventFilter(watched, e);
}

void TComboBox::popupClosed()
{
    if (!droppedDown_)
        return;
    droppedDown_ = false;
    forms::RunGuarded([this] { CloseUp(); });
}

void TComboBox::Change()
{
    if (OnChange) OnChange(this);
}
void TComboBox::DropDown()
{
    if (OnDropDown) OnDropDown(this);
}
void TComboBox::CloseUp()
{
    if (OnCloseUp) OnCloseUp(this);
}
void TComboBox::DoEnter()
{
    if (OnEnter) OnEnter(this);
}
void TComboBox::DoExit()
{
    if (OnExit) OnExit(this);
}

void TComboBox::focusInEvent(QFocusEvent* e)
{
    QComboBox::focusInEvent(e);
    if (e->reason() != Qt::PopupFocusReason)
        forms::RunGuarded([this] { DoEnter(); });
}

void TComboBox::focusOutEvent(QFocusEvent* e)
{
    QComboBox::focusOutEvent(e);
    if (e->reason() != Qt::PopupFocusReason)
        forms::RunGuarded([this] { DoExit(); });
}

void TComboBox::keyPressEvent(QKeyEvent* e)
{
    int key = forms::VirtualKey(e->key());
    if (key != 0 && OnKeyDown) {
        forms::RunGuarded([&] { OnKeyDown(this, key, forms::ShiftState(e->modifiers())); });
        if (key == 0)
            return;
    }
    QComboBox::keyPressEvent(e);
}

}  // namespace controls
