// The finds viewer's read-only text view.
#include "RichTextBox.h"

#include "FindsDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

RichTextBox::RichTextBox(QWidget *parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QTextEdit::NoWrap);
    setAcceptRichText(false);
    QFont f = font();
    f.setFamilies({QStringLiteral("Segoe UI")});
    setFont(f);

    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setInterval(50);
    connect(m_scrollTimer, &QTimer::timeout, this, &RichTextBox::scrollWhenLaidOut);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &RichTextBox::cancelScroll);
}

QTextCharFormat RichTextBox::RedFormat()
{
    QTextCharFormat red;
    red.setForeground(QColor(0xFF, 0x00, 0x00));
    return red;
}

QTextCharFormat RichTextBox::GreyFormat()
{
    QTextCharFormat grey;
    grey.setForeground(QColor(0x80, 0x80, 0x80));
    grey.setFontFamilies({QStringLiteral("courier new")});
    grey.setFontStyleHint(QFont::TypeWriter);
    grey.setFontPointSize(8);
    return grey;
}

void RichTextBox::ShowDocument(const FindsDocument &document)
{
    // Every kLinesPerParagraph-th line end stays a paragraph break, the others
    // become line separators. Separators that the text itself holds would
    // start lines or paragraphs the numbering does not count: they show as
    // the replacement character instead.
    QString shown = document.Text;
    QChar *c = shown.data();
    int linesInParagraph = 0;
    for (qsizetype i = 0, n = shown.size(); i < n; ++i) {
        const char16_t ch = c[i].unicode();
        if (ch == u'\n') {
            if (++linesInParagraph == kLinesPerParagraph)
                linesInParagraph = 0;
            else
                c[i] = QChar::LineSeparator;
        } else if (ch == QChar::LineSeparator || ch == QChar::ParagraphSeparator || ch == 0xFDD0 || ch == 0xFDD1) {
            c[i] = QChar::ReplacementCharacter;
        }
    }

    auto *doc = new QTextDocument(this); // owned by the view: the one it replaces is deleted
    doc->setUndoRedoEnabled(false);
    doc->setDefaultFont(font());

    const QTextCharFormat plain;
    const QTextCharFormat red = RedFormat();
    const QTextCharFormat grey = GreyFormat();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    qsizetype done = 0;
    auto put = [&](qsizetype end, const QTextCharFormat &format) {
        if (end > done)
            cursor.insertText(shown.mid(done, end - done), format);
        done = std::max(done, end);
    };
    // Both range lists ascend; taking the one that starts first each time
    // gives the runs in text order. A range is clipped where an earlier one
    // already covered its start.
    auto r = document.Red.begin();
    auto g = document.Grey.begin();
    while (r != document.Red.end() || g != document.Grey.end()) {
        const bool takeRed = g == document.Grey.end() || (r != document.Red.end() && r->start < g->start);
        const FindsDocument::Range range = takeRed ? *r++ : *g++;
        const qsizetype end = std::min(range.end(), shown.size());
        put(std::min(range.start, end), plain);
        put(end, takeRed ? red : grey);
    }
    put(shown.size(), plain);
    cursor.endEditBlock();

    cancelScroll();
    setDocument(doc);
}

int RichTextBox::LineStart(qsizetype line) const
{
    const QTextBlock block = document()->findBlockByNumber(static_cast<int>(line / kLinesPerParagraph));
    if (!block.isValid())
        return document()->characterCount() - 1;
    const QString text = block.text();
    qsizetype at = 0;
    for (qsizetype k = line % kLinesPerParagraph; k > 0; --k) {
        const qsizetype sep = text.indexOf(QChar::LineSeparator, at);
        if (sep < 0)
            return block.position() + static_cast<int>(text.size());
        at = sep + 1;
    }
    return block.position() + static_cast<int>(at);
}

void RichTextBox::ScrollToLine(qsizetype line, int caretPosition)
{
    m_scrollLine = line;
    m_scrollCaret = caretPosition;
    scrollWhenLaidOut();
    if (m_scrollLine >= 0)
        m_scrollTimer->start();
}

void RichTextBox::scrollWhenLaidOut()
{
    if (m_scrollLine < 0)
        return;
    const int pos = LineStart(m_scrollLine);
    const QTextBlock block = document()->findBlock(pos);
    // Both the scroll and the caret (whose place QTextEdit makes visible)
    // need the layout down to their line.
    const int furthest = std::max(pos, m_scrollCaret);
    const QTextBlock last = document()->findBlock(furthest);
    if (furthest > kLayoutAtOnce && last.isValid() && last.layout()->lineCount() == 0)
        return; // the background layout has not got there yet
    m_scrollTimer->stop();
    m_scrollLine = -1;
    if (!block.isValid())
        return;
    QTextCursor caret(document());
    caret.setPosition(std::clamp(m_scrollCaret, 0, document()->characterCount() - 1));
    setTextCursor(caret);
    // Asking for the paragraph's place lays the document out up to it; the
    // scroll bar's range may lag behind the layout, so it is widened first.
    const QRectF rect = document()->documentLayout()->blockBoundingRect(block);
    const QTextLine textLine = block.layout()->lineForTextPosition(pos - block.position());
    const int target = qRound(rect.top() + (textLine.isValid() ? textLine.y() : 0));
    QScrollBar *bar = verticalScrollBar();
    if (bar->maximum() < target)
        bar->setMaximum(target);
    bar->setValue(target);
}

void RichTextBox::cancelScroll()
{
    m_scrollTimer->stop();
    m_scrollLine = -1;
}

int RichTextBox::GetCurrentLine() const
{
    const QTextCursor caret = textCursor();
    const QStringView before = QStringView(caret.block().text()).first(caret.positionInBlock());
    return caret.blockNumber() * kLinesPerParagraph + static_cast<int>(before.count(QChar::LineSeparator)) + 1;
}

int RichTextBox::GetCurrentCol() const
{
    const QTextCursor caret = textCursor();
    const QString text = caret.block().text();
    const int inBlock = caret.positionInBlock();
    const qsizetype lineStart = inBlock > 0 ? text.lastIndexOf(QChar::LineSeparator, inBlock - 1) + 1 : 0;
    return inBlock - static_cast<int>(lineStart) + 1;
}

void RichTextBox::mousePressEvent(QMouseEvent *event)
{
    cancelScroll();
    QTextEdit::mousePressEvent(event);
    emit mouseButtonChanged();
}

void RichTextBox::mouseReleaseEvent(QMouseEvent *event)
{
    QTextEdit::mouseReleaseEvent(event);
    emit mouseButtonChanged();
}

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    cancelScroll();
    QTextEdit::keyPressEvent(event);
}
