#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/xx/xxComboBox.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::turnWheel;

namespace {

struct Picker {
    QWidget host;
    TxxComboBox* combo = new TxxComboBox(&host);
    int changes = 0;
    std::vector<int> wheels;
    Picker()
    {
        host.resize(200, 60);
        combo->SetBounds(10, 10, 150, 22);
        combo->SetStyle(csDropDownList);
        for (const char* name : {"Blues", "Classic Rock", "Country", "Dance"})
            combo->Items().Add(name);
        combo->OnChange = [this](QObject*) { ++changes; };
        combo->OnMouseWheel = [this](QObject*, int w) { wheels.push_back(w); };
        host.show();
    }
};

}  // namespace

TEST(xxComboBox, ItemsAndChoiceFollowTheListWithoutChangeEvents)
{
    Picker p;
    EXPECT_EQ(p.combo->count(), 4);
    EXPECT_EQ(p.combo->ItemIndex(), -1);
    p.combo->SetItemIndex(2);
    EXPECT_EQ(p.combo->Text(), "Country");
    p.combo->Items().Add("Disco");  // adding keeps the choice
    EXPECT_EQ(p.combo->ItemIndex(), 2);
    p.combo->Items().SetStrings(0, "Acid");
    EXPECT_EQ(p.combo->itemText(0).toStdString(), "Acid");
    EXPECT_EQ(p.combo->ItemIndex(), 2);
    p.combo->SetText("Dance");
    EXPECT_EQ(p.combo->ItemIndex(), 3);
    p.combo->SetText("missing");
    EXPECT_EQ(p.combo->ItemIndex(), -1);
    p.combo->SetItemIndex(9);
    EXPECT_EQ(p.combo->ItemIndex(), -1);
    p.combo->SetItemIndex(1);
    p.combo->Items().Clear();
    EXPECT_EQ(p.combo->ItemIndex(), -1);
    EXPECT_EQ(p.combo->Text(), "");
    EXPECT_EQ(p.changes, 0);
}

TEST(xxComboBox, ClosedWithoutWheelActiveKeepsItsChoiceButReportsTheTurn)
{
    Picker p;
    p.combo->SetItemIndex(1);
    p.combo->SetWheelActive(false);
    turnWheel(*p.combo, -120);
    turnWheel(*p.combo, 120);
    EXPECT_EQ(p.combo->ItemIndex(), 1);
    EXPECT_EQ(p.wheels, (std::vector<int>{1, -1}));
    EXPECT_EQ(p.changes, 0);

    p.combo->SetWheelActive(true);
    turnWheel(*p.combo, -120);  // toward the user: the next entry
    EXPECT_EQ(p.combo->ItemIndex(), 2);
    EXPECT_EQ(p.changes, 1);
    EXPECT_EQ(p.wheels.back(), 1);
}

TEST(xxComboBox, DropDownFiresBeforeTheListOpensAndCloseUpAfterItCloses)
{
    Picker p;
    std::vector<std::string> order;
    p.combo->OnDropDown = [&](QObject*) {
        order.push_back("dropdown");
        EXPECT_FALSE(p.combo->view()->isVisible());
        p.combo->SetItemIndex(p.combo->Items().IndexOf("Country"));
    };
    p.combo->OnCloseUp = [&](QObject*) {
        order.push_back("closeup");
        EXPECT_FALSE(p.combo->DroppedDown());
    };
    p.combo->SetDroppedDown(true);
    EXPECT_TRUE(p.combo->DroppedDown());
    EXPECT_EQ(p.combo->view()->currentIndex().row(), 2);
    p.combo->SetDroppedDown(false);
    p.combo->hidePopup();  // a second close is not reported
    EXPECT_EQ(order, (std::vector<std::string>{"dropdown", "closeup"}));
    // A list that closes by itself (a click elsewhere) is reported as well.
    p.combo->showPopup();
    p.combo->view()->window()->hide();
    EXPECT_FALSE(p.combo->DroppedDown());
    EXPECT_EQ(order.size(), 4u);
    EXPECT_EQ(order.back(), "closeup");
}

TEST(xxComboBox, MouseEnterLeaveAndButtonsAreReported)
{
    Picker p;
    std::vector<std::string> seen;
    QCursor::setPos(p.combo->mapToGlobal(QPoint(12, 6)));
    p.combo->OnMouseEnter = [&](QObject*, forms::TShiftState, int x, int y) {
        seen.push_back("enter " + std::to_string(x) + "," + std::to_string(y));
    };
    p.combo->OnMouseLeave = [&](QObject*, forms::TShiftState, int, int) { seen.push_back("leave"); };
    p.combo->OnMouseDown = [&](QObject*, forms::TMouseButton b, forms::TShiftState s, int x, int) {
        seen.push_back("down " + std::to_string(b) + " " + std::to_string(s & forms::ssShift) + " " + std::to_string(x));
    };
    const QPointF at(12, 6);
    QEnterEvent enter{at, at, p.combo->mapToGlobal(at)};
    QApplication::sendEvent(p.combo, &enter);
    QTest::mousePress(p.combo, Qt::RightButton, Qt::ShiftModifier, QPoint(30, 5));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(p.combo, &leave);
    EXPECT_EQ(seen, (std::vector<std::string>{"enter 12,6", "down 1 1 30", "leave"}));
}

TEST(xxComboBox, OnAWindowFocusEnterAndExitFollowTheKeyboardFocus)
{
    // What the handlers write to outlives the window, whose teardown moves the focus again.
    std::vector<std::string> seen;
    int changes = 0;
    forms::TForm form;
    form.resize(220, 80);
    auto* combo = new TxxComboBox(&form);
    combo->SetBounds(10, 10, 150, 22);
    combo->Items().SetText("one\ntwo");
    auto* other = new TxxComboBox(&form);
    other->SetBounds(10, 40, 150, 22);
    combo->OnEnter = [&](QObject*) { seen.push_back("enter"); };
    combo->OnExit = [&](QObject*) { seen.push_back("exit"); };
    form.show();  // a window holding Qt's own widgets shows fine
    QApplication::setActiveWindow(&form);
    combo->setFocus();
    other->setFocus();
    EXPECT_EQ(seen, (std::vector<std::string>{"enter", "exit"}));
    // Typing in the edit style is a change; the list style has no edit.
    combo->OnChange = [&](QObject*) { ++changes; };
    combo->setFocus();
    QTest::keyClicks(combo, "ab");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(combo->Text(), "ab");
    // Style changes back and forth leave one change per typed key.
    combo->SetStyle(csDropDownList);
    combo->SetStyle(csDropDown);
    combo->SetStyle(csSimple);
    QTest::keyClicks(combo, "c");
    EXPECT_EQ(changes, 3);
}

TEST(xxComboBox, Screenshot)
{
    Picker p;
    p.combo->SetItemIndex(1);
    p.host.resize(170, 42);
    const QImage img = controltest::snapshot(p.host);
    controltest::saveShot(img, "xxComboBox", 2);
    EXPECT_FALSE(img.isNull());
}
