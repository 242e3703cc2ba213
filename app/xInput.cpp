#include "app/xInput.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "app/MainForm.h"
#include "app/libFavorite.h"
#include "app/libMusic.h"
#include "controls/gradient/RbButton.h"
#include "controls/std/Label.h"
#include "controls/xx/xxComboBox.h"
#include "platform/forms/Application.h"
#include "platform/rtl/StringList.h"
#include "util/Cp932.h"
#include "util/libControl.h"
#include "util/libIme.h"
#include "util/libText.h"
#include "util/libWindows.h"
#include "util/xMessageBox.h"

namespace {

constexpr int ClientWidth = 412;
constexpr int ClientHeight = 120;
constexpr std::uint8_t ImeHiragana = 6;
constexpr char CR = '\r';

// A blank as TrimBlanks knows it (the ASCII and the full-width space). Asked of one
// character at a time, so that names CP932 cannot hold keep every other character.
bool isBlank(char32_t ch)
{
    const std::optional<std::string> sjis = cp932::encode(QString::fromUcs4(&ch, 1).toStdString());
    return sjis && !sjis->empty() && TrimBlanks(*sjis).empty();
}

QString trimmedName(const QString& text)
{
    const QList<uint> chars = text.toUcs4();
    qsizetype first = 0, last = chars.size();
    while (first < last && isBlank(chars[first]))
        ++first;
    while (last > first && isBlank(chars[last - 1]))
        --last;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()) + first, last - first);
}

}  // namespace

TfrmInput::TfrmInput(QWidget* Owner) : TForm(Owner), owner_(Owner)
{
    // A single border with the system menu only: no resizing, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    SetCaption("お気に入り");

    lblTitle = new controls::TLabel(this);
    lblTitle->move(12, 10);

    cmbInput = new controls::TxxComboBox(this);
    cmbInput->SetStyle(controls::csDropDownList);
    cmbInput->SetDropDownCount(16);
    cmbInput->SetTabStop(false);

    edtInp = new QLineEdit(this);
    edtInp->setFont(Font().toQFont());

    spdOK = new controls::TRbButton(this);
    spdOK->Tag = 1;
    spdOK->SetCaption("決　定");
    spdCan = new controls::TRbButton(this);
    spdCan->Tag = 2;
    spdCan->SetCaption("ｷｬﾝｾﾙ");
    for (controls::TRbButton* b : {spdOK, spdCan}) {
        SetControlCursor(b, crHandPoint);
        Handlers.Set(b->OnClick, [this](QObject* sender) { spdOKClick(sender); });
    }
    placeControls();
    setTabOrder(edtInp, spdOK);
    setTabOrder(spdOK, spdCan);

    Handlers.Set(cmbInput->OnDropDown, [this](QObject* sender) { cmbInputDropDown(sender); });
    Handlers.Set(cmbInput->OnChange, [this](QObject* sender) { cmbInputChange(sender); });
    Handlers.Set(cmbInput->OnCloseUp, [this](QObject* sender) { cmbInputCloseUp(sender); });
    OnShow = [this](QObject* sender) { FormShow(sender); };
    OnCloseQuery = [this](QObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
    SetKeyPreview(true);

    DoCreate([this] { FormCreate(this); });
}

void TfrmInput::placeControls()
{
    cmbInput->SetBounds(12, 52, ClientWidth - 24, 24);
    // The edit covers the drop-down up to its arrow.
    QStyleOptionComboBox opt;
    opt.initFrom(cmbInput);
    opt.rect = cmbInput->rect();
    opt.editable = false;
    const QRect arrow = cmbInput->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, cmbInput);
    edtInp->setGeometry(cmbInput->x(), cmbInput->y(), arrow.left(), cmbInput->height());
    spdOK->SetBounds(ClientWidth - 196, 86, 88, 26);
    spdCan->SetBounds(ClientWidth - 100, 86, 88, 26);
}

void TfrmInput::FormCreate(QObject*)
{
    AssignImeNames(this);
    SetChildShowHint(this, true);
    ReplaceCursor(this, crHandPoint, 1);
    SetImeMode(edtInp, ImeHiragana);
    QWidget* main = frmMain ? static_cast<QWidget*>(frmMain) : owner_ ? owner_->window() : nullptr;
    centreOver(main);
}

// Positions count the whole window, frame included, as the message box's placement does.
void TfrmInput::centreOver(QWidget* Owner)
{
    const int outerWidth = width() + 2 * TfrmMessageBox::FrameWidth;
    const int outerHeight = height() + TfrmMessageBox::TitleHeight + TfrmMessageBox::FrameWidth;
    QRect area;
    if (Owner) {
        area = Owner->frameGeometry();
    } else {
        QPoint work(0, 0);
        GetWorkArea(work);
        area = QRect(0, 0, work.x(), work.y());
    }
    move(area.x() + (area.width() - outerWidth) / 2, area.y() + (area.height() - outerHeight) / 2);
}

void TfrmInput::FormShow(QObject*)
{
    ShownText = edtInp->text().toStdString();
    std::vector<std::string> names;
    ReadFavoriteNames(names);
    rtl::TStringList items;
    for (const std::string& name : names)
        items.Add(name);
    cmbInput->Items().Assign(items);
}

void TfrmInput::spdOKClick(QObject* Sender)
{
    const auto* button = dynamic_cast<const forms::TCustomControl*>(Sender);
    if (button && button->Tag == 1) {
        Tag = 1;
    } else {
        if (edtInp->text().toStdString() != ShownText &&
            MsgBoxEx(this, "ＣＤ情報", std::string("データが編集されています！！") + CR + "終了してもよろしいですか？",
                     2, "yn", "?") == forms::mrNo)
            return;
        Tag = 0;
    }
    close();
}

// Enter and Escape are taken here (the key is eaten), so that no focused button or edit acts
// on the same key a second time.
void TfrmInput::FormKeyDown(QObject*, int& Key, forms::TShiftState)
{
    if (Key == forms::VK_RETURN) {
        Key = 0;
        spdOKClick(spdOK);
    } else if (Key == forms::VK_ESCAPE) {
        Key = 0;
        spdOKClick(spdCan);
    }
}

void TfrmInput::FormCloseQuery(QObject*, bool&)
{
    edtInp->setText(trimmedName(edtInp->text()));
}

void TfrmInput::edtInpKeyPress(QObject*, char& Key)
{
    SwallowEnterEsc(Key);
}

void TfrmInput::cmbInputDropDown(QObject*)
{
    const std::string text = edtInp->text().toStdString();
    int found = -1;
    for (int i = 0; i < cmbInput->Items().Count() && found < 0; ++i)
        if (SameFavoriteName(cmbInput->Items()[i], text))
            found = i;
    cmbInput->SetItemIndex(found);
}

void TfrmInput::cmbInputChange(QObject*)
{
    edtInp->setText(QString::fromStdString(cmbInput->Text()));
    edtInp->end(false);
}

void TfrmInput::cmbInputCloseUp(QObject*)
{
    edtInp->setFocus();
}

// The window sees its controls' keys first. Enter and Escape arrive as key presses whose
// text is the control character, which the edit's own filter then swallows.
bool TfrmInput::previewKey(QObject* watched, int qtKey, Qt::KeyboardModifiers mods, const QString& text)
{
    int key = forms::VirtualKey(qtKey);
    FormKeyDown(this, key, forms::ShiftState(mods));
    if (key == 0)
        return true;
    if (watched == edtInp && text.size() == 1 && text[0].unicode() < 0x80) {
        char ch = char(text[0].unicode());
        edtInpKeyPress(edtInp, ch);
        return ch == 0;
    }
    return false;
}

bool TfrmInput::PreviewEvent(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() != QEvent::KeyPress || !widget || widget->window() != this)
        return false;
    const auto* e = static_cast<QKeyEvent*>(event);
    bool eaten = false;
    forms::RunGuarded([&] { eaten = previewKey(watched, e->key(), e->modifiers(), e->text()); });
    return eaten;
}
