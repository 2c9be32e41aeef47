// A Unicode text box over a Qt plain-text editor, speaking Windows-style text.
#include "TextBoxW.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>

TextBoxW::TextBoxW(QWidget *parent) : QWidget(parent), m_font(QStringLiteral("Arial"), 9)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    recreate();
}

QString TextBoxW::Text() const
{
    if (!m_edit)
        return QString();
    QString text = m_edit->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

void TextBoxW::SetText(const QString &text)
{
    if (!m_edit)
        return;
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_edit->setPlainText(plain);
}

void TextBoxW::SetAlignment(int value)
{
    if (value != m_alignment) {
        m_alignment = value;
        recreate();
    }
}

void TextBoxW::SetMultiLine(bool value)
{
    if (value != m_multiLine) {
        m_multiLine = value;
        recreate();
    }
}

void TextBoxW::SetScrollBars(int value)
{
    if (value != m_scrollBars) {
        m_scrollBars = value;
        recreate();
    }
}

void TextBoxW::SetRightToLeft(bool value)
{
    if (value != m_rightToLeft) {
        m_rightToLeft = value;
        recreate();
    }
}

void TextBoxW::SetFont(const QFont &font)
{
    m_font = font;
    if (m_edit)
        m_edit->setFont(font);
}

// A style change makes a new editor, as the native control does; the text
// survives, the selection does not.
void TextBoxW::recreate()
{
    const QString text = Text();
    const bool hadFocus = m_edit && m_edit->hasFocus();
    delete m_edit;
    m_edit = new QPlainTextEdit(this);
    layout()->addWidget(m_edit);
    setFocusProxy(m_edit);
    connect(m_edit, &QPlainTextEdit::textChanged, this, &TextBoxW::Change);
    applyStyle();
    SetText(text);
    if (hadFocus)
        m_edit->setFocus();
}

void TextBoxW::applyStyle()
{
    m_edit->setFont(m_font);
    m_edit->setLayoutDirection(m_rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    const Qt::Alignment align = m_alignment == 1 ? Qt::AlignRight : m_alignment == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
    QTextOption option = m_edit->document()->defaultTextOption();
    option.setAlignment(align);
    m_edit->document()->setDefaultTextOption(option);
    const bool horizontal = m_multiLine && (m_scrollBars == 1 || m_scrollBars == 3);
    const bool vertical = m_multiLine && (m_scrollBars == 2 || m_scrollBars == 3);
    // With a horizontal bar lines run on; without one they wrap, as in a
    // multi-line edit without horizontal scrolling.
    m_edit->setLineWrapMode(horizontal || !m_multiLine ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    m_edit->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_edit->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    // Tab moves on to the next control, also with several lines: a tab
    // character comes in by pasting.
    m_edit->setTabChangesFocus(true);
}

int TextBoxW::toEditor(int pos) const
{
    // Each CR LF before pos counts one more in Text() than in the editor.
    const QString text = Text();
    pos = std::clamp(pos, 0, static_cast<int>(text.size()));
    int editorPos = 0;
    for (int i = 0; i < pos; ++i) {
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        ++editorPos;
    }
    return editorPos;
}

int TextBoxW::fromEditor(int pos) const
{
    if (!m_edit)
        return 0;
    const QTextBlock block = m_edit->document()->findBlock(pos);
    return pos + (block.isValid() ? block.blockNumber() : 0);
}

int TextBoxW::SelStart() const
{
    if (!m_edit)
        return 0;
    const QTextCursor c = m_edit->textCursor();
    return fromEditor(std::min(c.anchor(), c.position()));
}

void TextBoxW::SetSelStart(int value)
{
    if (!m_edit)
        return;
    QTextCursor c = m_edit->textCursor();
    c.setPosition(toEditor(value));
    m_edit->setTextCursor(c);
    if (m_multiLine)
        m_edit->ensureCursorVisible();
}

int TextBoxW::SelLength() const
{
    if (!m_edit)
        return 0;
    const QTextCursor c = m_edit->textCursor();
    return std::abs(fromEditor(c.position()) - fromEditor(c.anchor()));
}

void TextBoxW::SetSelLength(int value)
{
    if (!m_edit)
        return;
    const int start = SelStart();
    QTextCursor c = m_edit->textCursor();
    c.setPosition(toEditor(start));
    c.setPosition(toEditor(start + std::max(0, value)), QTextCursor::KeepAnchor);
    m_edit->setTextCursor(c);
    if (m_multiLine)
        m_edit->ensureCursorVisible();
}

int TextBoxW::CaretPos() const
{
    if (!m_edit)
        return 0;
    if (!m_edit->hasFocus())
        return SelStart();
    return fromEditor(m_edit->textCursor().position());
}

int TextBoxW::GetLineCount() const
{
    return m_edit ? m_edit->document()->blockCount() : 0;
}

int TextBoxW::GetLineIndex(int CharPos) const
{
    if (!m_edit)
        return 0;
    const int pos = CharPos < 0 ? m_edit->textCursor().selectionStart() : toEditor(CharPos);
    return m_edit->document()->findBlock(pos).blockNumber();
}

int TextBoxW::GetCharsUpToLineIndex(int LineIndexZeroBased) const
{
    if (!m_edit)
        return 0;
    const QTextBlock block = m_edit->document()->findBlockByNumber(LineIndexZeroBased);
    return block.isValid() ? fromEditor(block.position()) : 0;
}

int TextBoxW::GetLineLength(int LineIndexZeroBased) const
{
    if (!m_edit)
        return 0;
    const QTextBlock block = m_edit->document()->findBlockByNumber(LineIndexZeroBased);
    return block.isValid() ? block.length() - 1 : 0;
}

void TextBoxW::SetLineIndex(int LineIndexZeroBased, bool EnsureCaretOffset)
{
    if (!m_edit || !m_multiLine || LineIndexZeroBased < 0 || LineIndexZeroBased >= GetLineCount())
        return;
    int target = GetCharsUpToLineIndex(LineIndexZeroBased);
    if (EnsureCaretOffset) {
        const int start = SelStart();
        const bool down = LineIndexZeroBased > GetLineIndex(start);
        const int p = down ? start + SelLength() : start;
        const int column = p - GetCharsUpToLineIndex(GetLineIndex(p));
        target += std::min(column, GetLineLength(LineIndexZeroBased));
    }
    SetSelStart(target);
    m_edit->ensureCursorVisible();
}
