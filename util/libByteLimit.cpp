#include "util/libByteLimit.h"

#include "util/Cp932.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVariant>

namespace {

constexpr const char* kLimit = "textByteLimit";
constexpr const char* kLast = "textByteLimitLast";

std::size_t bytes(const QString& s) { return cp932::byteLength(s.toStdString()); }

// The text after an edit that turned Before into After, keeping of the inserted part only
// what fits in Limit bytes; Cursor gets the place behind what was kept.
QString fitEdit(const QString& Before, const QString& After, std::size_t Limit, int& Cursor)
{
    qsizetype p = 0;
    while (p < Before.size() && p < After.size() && Before[p] == After[p])
        ++p;
    if (p > 0 && After[p - 1].isHighSurrogate())
        --p;
    qsizetype s = 0;
    while (s < Before.size() - p && s < After.size() - p && Before[Before.size() - 1 - s] == After[After.size() - 1 - s])
        ++s;
    if (s > 0 && After[After.size() - s].isLowSurrogate())
        --s;
    const QString kept = Before.left(p) + Before.right(s);
    const std::size_t used = bytes(kept);
    const std::size_t room = used < Limit ? Limit - used : 0;
    const std::string inserted = After.mid(p, After.size() - p - s).toStdString();
    const QString fit = QString::fromStdString(std::string(cp932::cutToBytes(inserted, room)));
    // What was there stays, also a stored text past the limit (SetStoredText).
    const QString result = Before.left(p) + fit + Before.right(s);
    Cursor = int(std::min<qsizetype>(p + fit.size(), result.size()));
    return result;
}

int limitOf(const QObject* o) { return o->property(kLimit).toInt(); }

QString textOf(const QLineEdit* Edit) { return Edit->text(); }
QString textOf(const QPlainTextEdit* Memo) { return Memo->toPlainText(); }

void setText(QLineEdit* Edit, const QString& Text, int Cursor)
{
    Edit->setText(Text);
    Edit->setCursorPosition(Cursor);
}

void setText(QPlainTextEdit* Memo, const QString& Text, int Cursor)
{
    Memo->setPlainText(Text);
    QTextCursor c = Memo->textCursor();
    c.setPosition(Cursor);
    Memo->setTextCursor(c);
}

// The caret where the widget's own setter leaves it.
void setWhole(QLineEdit* Edit, const QString& Text) { Edit->setText(Text); }
void setWhole(QPlainTextEdit* Memo, const QString& Text) { Memo->setPlainText(Text); }

template <class W>
void enforce(W* w)
{
    const int limit = limitOf(w);
    const QString now = textOf(w);
    const QString last = w->property(kLast).toString();
    if (limit > 0 && now != last && bytes(now) > std::size_t(limit)) {
        int cursor = 0;
        const QString fixed = fitEdit(last, now, std::size_t(limit), cursor);
        w->setProperty(kLast, fixed);
        if (fixed != now)
            setText(w, fixed, cursor);
        return;
    }
    w->setProperty(kLast, now);
}

// A new limit applies at once to the text the field holds.
template <class W>
void cutToLimit(W* w)
{
    const int limit = limitOf(w);
    const QString now = textOf(w);
    if (limit <= 0 || bytes(now) <= std::size_t(limit))
        return;
    const QString cut = QString::fromStdString(std::string(cp932::cutToBytes(now.toStdString(), std::size_t(limit))));
    w->setProperty(kLast, cut);
    setText(w, cut, int(cut.size()));
}

template <class W, class Signal>
void setLimit(W* w, int MaxBytes, Signal changed)
{
    const bool connected = w->property(kLimit).isValid();
    w->setProperty(kLimit, MaxBytes);
    if (!connected) {
        w->setProperty(kLast, QString());
        QObject::connect(w, changed, w, [w] { enforce(w); });
    }
    enforce(w);
    cutToLimit(w);
}

template <class W>
void setStored(W* w, const QString& Text)
{
    // Set with the limit off, then taken as the text before the next edit: the limit cuts
    // only what is inserted later.
    const QVariant limit = w->property(kLimit);
    w->setProperty(kLimit, 0);
    setWhole(w, Text);
    w->setProperty(kLimit, limit);
    w->setProperty(kLast, textOf(w));
}

}  // namespace

void SetTextByteLimit(QLineEdit* Edit, int MaxBytes)
{
    setLimit(Edit, MaxBytes, &QLineEdit::textChanged);
}

void SetTextByteLimit(QPlainTextEdit* Memo, int MaxBytes)
{
    setLimit(Memo, MaxBytes, &QPlainTextEdit::textChanged);
}

void SetStoredText(QLineEdit* Edit, const QString& Text)
{
    setStored(Edit, Text);
}

void SetStoredText(QPlainTextEdit* Memo, const QString& Text)
{
    setStored(Memo, Text);
}
