// The finds viewer's read-only text view: shows a finds document, formatted in
// one pass, and reports mouse presses and releases for the position label.
#pragma once

#include <QTextCharFormat>
#include <QTextEdit>

class FindsDocument;
class QTimer;

class RichTextBox : public QTextEdit
{
    Q_OBJECT

public:
    explicit RichTextBox(QWidget *parent = nullptr);

    // Lines of the shown text held by one paragraph of the view. Qt pays
    // for every paragraph it inserts, so lines are grouped, kept apart by
    // line separators; every position of the text is still one position of
    // the view, and the view never wraps, so a line of the text is one line
    // on the screen.
    static constexpr int kLinesPerParagraph = 64;

    // Replaces the content with the document: its text in the view's font,
    // its red ranges red, its grey ranges grey "courier new" 8. The text is
    // set down run by run into a new document that the view takes over only
    // when it is complete, so nothing is laid out or drawn in between.
    void ShowDocument(const FindsDocument &document);

    // The position where the 0-based line begins (the end for lines past it).
    int LineStart(qsizetype line) const;
    // Scrolls so that the 0-based line is the first one in view and puts the
    // caret at caretPosition. Text the view has not laid out yet is laid out
    // in the background: far down a large text the scroll waits for that
    // (the window stays responsive) and is dropped if the user scrolls,
    // clicks or types first.
    void ScrollToLine(qsizetype line, int caretPosition);
    bool ScrollPending() const { return m_scrollLine >= 0; }

    // Up to this position the view lays the text out at once to scroll.
    static constexpr int kLayoutAtOnce = 2'000'000;

    // The caret's 1-based line and column.
    int GetCurrentLine() const;
    int GetCurrentCol() const;

    static QTextCharFormat RedFormat();
    static QTextCharFormat GreyFormat();

signals:
    void mouseButtonChanged();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void cancelScroll();
    void scrollWhenLaidOut();

    QTimer *m_scrollTimer;
    qsizetype m_scrollLine = -1;
    int m_scrollCaret = 0;
};
