// Length limits of text fields counted as the stored formats count them: in CP932 bytes (as
// the text would be written as Shift-JIS), never splitting a character. Typing or pasting past
// the limit keeps as much of the new text as fits, at the place it was put; text set by code
// is cut at its end.
// UI thread only.
#pragma once

class QLineEdit;
class QPlainTextEdit;

// MaxBytes 0 removes the limit; a new limit replaces the one before and applies at once.
void SetTextByteLimit(QLineEdit* Edit, int MaxBytes);
void SetTextByteLimit(QPlainTextEdit* Memo, int MaxBytes);
