// Length limits of text fields counted as the stored formats count them: in CP932 bytes (as
// the text would be written as Shift-JIS), never splitting a character. Typing or pasting past
// the limit keeps as much of the new text as fits, at the place it was put; text set by code
// is cut at its end, except through SetStoredText.
// UI thread only.
#pragma once

class QLineEdit;
class QPlainTextEdit;
class QString;

// MaxBytes 0 removes the limit; a new limit replaces the one before and applies at once.
void SetTextByteLimit(QLineEdit* Edit, int MaxBytes);
void SetTextByteLimit(QPlainTextEdit* Memo, int MaxBytes);

// Puts a text read from a file into a field whole, also past the field's limit, so that the
// field shows what the file holds and an unchanged field can be told from an edited one. While
// the text stays over the limit, typing or pasting adds nothing; deleting works as ever.
void SetStoredText(QLineEdit* Edit, const QString& Text);
void SetStoredText(QPlainTextEdit* Memo, const QString& Text);
