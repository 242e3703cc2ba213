// TEMPORARY STAND-INS. The main window is laid out before the control toolkit's classes are
// on main; until each of them lands, a plain Qt widget of the same size stands in its place
// and offers the few members the window calls (Caption, Checked, Position, Tag, the mouse
// events), so that swapping in the real control changes only the member's type.
// Each class below is removed as soon as the real control is merged.
// UI thread only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include "platform/forms/Application.h"
#include "platform/forms/Control.h"

// Stands in for TXiButton (tool buttons) and TRbButton (transport buttons).
class TButtonStandIn : public QPushButton {
public:
    explicit TButtonStandIn(QWidget* parent = nullptr) : QPushButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        connect(this, &QPushButton::clicked, this, [this] {
            if (OnClick)
                forms::RunGuarded([this] { OnClick(this); });
        });
    }
    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& s) { setText(QString::fromStdString(s)); }
    int ColorScheme() const { return scheme_; }
    void SetColorScheme(int scheme) { scheme_ = scheme; }
    intptr_t Tag = 0;
    forms::TNotifyEvent OnClick;
    forms::TMouseEvent OnMouseDown, OnMouseUp;

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        QPushButton::mousePressEvent(e);
        if (OnMouseDown && e->button() == Qt::LeftButton)
            OnMouseDown(this, forms::mbLeft, forms::ssLeft, int(e->position().x()), int(e->position().y()));
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QPushButton::mouseReleaseEvent(e);
        if (OnMouseUp && e->button() == Qt::LeftButton)
            OnMouseUp(this, forms::mbLeft, 0, int(e->position().x()), int(e->position().y()));
    }

private:
    int scheme_ = 3;
};

// Stands in for TFlatCheckBox.
class TCheckBoxStandIn : public QCheckBox {
public:
    explicit TCheckBoxStandIn(QWidget* parent = nullptr) : QCheckBox(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        connect(this, &QCheckBox::toggled, this, [this] {
            if (OnClick)
                forms::RunGuarded([this] { OnClick(this); });
        });
    }
    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& s) { setText(QString::fromStdString(s)); }
    bool Checked() const { return isChecked(); }
    void SetChecked(bool on) { setChecked(on); }
    intptr_t Tag = 0;
    forms::TNotifyEvent OnClick;
};

// Stands in for TRbProgressBar (position gauge, level bars, CPU bar) and TCoolGauge.
class TGaugeStandIn : public QProgressBar {
public:
    explicit TGaugeStandIn(QWidget* parent = nullptr) : QProgressBar(parent)
    {
        setRange(0, 100);
        setValue(0);
        setTextVisible(false);
    }
    int32_t Position() const { return value(); }
    void SetPosition(int32_t v) { setValue(std::clamp(v, minimum(), maximum())); }
    void SetMin(int32_t v) { setMinimum(v); }
    void SetMax(int32_t v) { setMaximum(v); }
    intptr_t Tag = 0;
};

// Stands in for TXiTrackBar (the frequency slider).
class TTrackBarStandIn : public QSlider {
public:
    explicit TTrackBarStandIn(QWidget* parent = nullptr) : QSlider(Qt::Horizontal, parent)
    {
        setFocusPolicy(Qt::NoFocus);
    }
    int32_t Position() const { return value(); }
    void SetPosition(int32_t v) { setValue(v); }
    void SetMin(int32_t v) { setMinimum(v); }
    void SetMax(int32_t v) { setMaximum(v); }
    intptr_t Tag = 0;
};

// Stands in for the display controls of the meter panel (TLED, TAnalogMeter, TLCD99,
// TLightStr, the segment-bar meter) and for the alpha label: a label of the same size.
class TDisplayStandIn : public QLabel {
public:
    explicit TDisplayStandIn(QWidget* parent = nullptr) : QLabel(parent)
    {
        setAlignment(Qt::AlignCenter);
    }
    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& s) { setText(QString::fromStdString(s)); }
};
