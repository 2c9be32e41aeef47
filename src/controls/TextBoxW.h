// A Unicode text box for the search and replacement texts: a thin control
// over a Qt plain-text editor that speaks in Windows-style text (line breaks
// are CR LF and count as two characters in every position).
#pragma once

#include <QFont>
#include <QWidget>

class QPlainTextEdit;

class TextBoxW : public QWidget
{
    Q_OBJECT

public:
    explicit TextBoxW(QWidget *parent = nullptr);

    // The whole text, line breaks as CR LF; writing accepts CR LF, LF or CR.
    QString Text() const;
    void SetText(const QString &text);

    // 0 left, 1 right, 2 centred.
    int Alignment() const { return m_alignment; }
    void SetAlignment(int value);
    bool MultiLine() const { return m_multiLine; }
    void SetMultiLine(bool value);
    // 0 none, 1 horizontal, 2 vertical, 3 both (multi-line only).
    int ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(int value);
    bool RightToLeft() const { return m_rightToLeft; }
    void SetRightToLeft(bool value);
    QFont Font() const { return m_font; }
    void SetFont(const QFont &font);

    // Positions are 0-based character indices in Text(), lines 0-based.
    int SelStart() const;
    void SetSelStart(int value);
    int SelLength() const;
    void SetSelLength(int value);
    int CaretPos() const;
    int GetLineCount() const;
    int GetLineIndex(int CharPos = -1) const;
    int GetCharsUpToLineIndex(int LineIndexZeroBased) const;
    int GetLineLength(int LineIndexZeroBased) const;
    void SetLineIndex(int LineIndexZeroBased, bool EnsureCaretOffset);

    // The editor inside, for focus handling and tests.
    QPlainTextEdit *Editor() const { return m_edit; }

signals:
    void Change();

private:
    void recreate();
    void applyStyle();
    // Between positions in Text() (CR LF = 2) and in the editor (a break = 1).
    int toEditor(int pos) const;
    int fromEditor(int pos) const;

    QPlainTextEdit *m_edit = nullptr; // owned as a child; remade on style changes
    int m_alignment = 0;
    bool m_multiLine = false;
    int m_scrollBars = 0;
    bool m_rightToLeft = false;
    QFont m_font;
};
