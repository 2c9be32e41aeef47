// The list control itself: properties, font, model notifications, and the Qt events it hands on.
#include "ListView.h"

#include "ListInputHandler.h"
#include "ListPainter.h"
#include "ScrollBars.h"

#include <QDropEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>

namespace {

constexpr int H = ScrollBars::Horizontal;
constexpr int V = ScrollBars::Vertical;

} // namespace

ListView::ListView(QWidget *parent)
    : QAbstractScrollArea(parent), m_Bars(new ScrollBars(this)), m_Input(new ListInputHandler(*this)), m_Layout(*this),
      m_DrawCallback(this)
{
    m_Model.SetObserver(this);
    setFocusPolicy(Qt::StrongFocus);
    // Every pixel is painted each time, and only on request: no background
    // fill in between, so nothing flickers.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);

    m_Bars->Create(this);
    // The vertical bar always shows and is disabled while every row fits, so
    // the width left for the columns does not change with the row count.
    m_Bars->SetVisible(V, true);
    m_Bars->SetVisible(H, false);
    connect(m_Bars, &ScrollBars::Change, this, &ListView::DrawNow);
    connect(m_Bars, &ScrollBars::Scroll, this, &ListView::DrawNow);
    connect(m_Bars, &ScrollBars::ScrollClick, this, &ListView::DrawNow);

    connect(m_Input, &ListInputHandler::ItemsMoved, this, &ListView::ItemsMoved);
    connect(m_Input, &ListInputHandler::DblClick, this, &ListView::DblClick);
    connect(m_Input, &ListInputHandler::Click, this, &ListView::Click);
    connect(m_Input, &ListInputHandler::ColumnClick, this, &ListView::ColumnClick);
    connect(m_Input, &ListInputHandler::MouseDown, this, &ListView::MouseDown);
    connect(m_Input, &ListInputHandler::MouseUp, this, &ListView::MouseUp);
    connect(m_Input, &ListInputHandler::KeyDown, this, &ListView::KeyDown);
    connect(m_Input, &ListInputHandler::KeyUp, this, &ListView::KeyUp);
    connect(m_Input, &ListInputHandler::KeyPress, this, &ListView::KeyPress);
    connect(m_Input, &ListInputHandler::ItemCheck, this, &ListView::ItemCheck);

    SetBorderStyle(m_BorderStyle);
    ApplyFont();
    Refresh();
}

ListView::~ListView()
{
    m_Model.SetObserver(nullptr);
    delete m_Input;
    m_Bars->Terminate();
}

void ListView::ApplyResultListDesign(ListView &list)
{
    const bool redraw = list.Redraw();
    list.SetRedraw(false);
    list.SetBackColor(0x00FDFCD9);
    // The size stays the platform's; font matching picks the nearest
    // installed face when Verdana itself is missing.
    QFont font = list.font();
    font.setFamily(QStringLiteral("Verdana"));
    list.setFont(font);
    list.SetCheckboxColor(0x404040);
    list.SetCheckboxSelectedColor(0x404040);
    list.SetRedraw(redraw);
}

// --- Properties -----------------------------------------------------------

void ListView::SetColour(Color &colour, quint32 value, bool brush, bool pen)
{
    colour.SetColor(value, brush, pen);
    DrawNow();
}

void ListView::SetBackColor(quint32 value)
{
    SetColour(m_Colours.BackColor, value, true, false);
}

void ListView::SetForeColor(quint32 value)
{
    SetColour(m_Colours.ForeColor, value, false, false);
}

void ListView::SetSelectedBackColor(quint32 value)
{
    SetColour(m_Colours.SelectedBackColor, value, true, false);
}

void ListView::SetSelectedForeColor(quint32 value)
{
    SetColour(m_Colours.SelectedForeColor, value, false, false);
}

void ListView::SetFocusRectColor(quint32 value)
{
    SetColour(m_Colours.FocusRectColor, value, false, true);
}

void ListView::SetCheckboxColor(quint32 value)
{
    SetColour(m_Colours.CheckboxColor, value, false, true);
}

void ListView::SetCheckboxSelectedColor(quint32 value)
{
    SetColour(m_Colours.CheckboxSelectedColor, value, false, true);
}

void ListView::SetColumnsAutoSize(bool on)
{
    m_ColumnsAutoSize = on;
    Refresh();
}

void ListView::SetColumnsVisible(bool on)
{
    m_ColumnsVisible = on;
    Refresh();
}

void ListView::SetItemPaddingTop(int pixels)
{
    m_PaddingTop = pixels;
    Refresh();
}

void ListView::SetItemPaddingBottom(int pixels)
{
    m_PaddingBottom = pixels;
    Refresh();
}

void ListView::SetItemPaddingLeft(int pixels)
{
    m_PaddingLeft = pixels;
    Refresh();
}

void ListView::SetItemPaddingRight(int pixels)
{
    m_PaddingRight = pixels;
    Refresh();
}

void ListView::SetPictureWidth(int pixels)
{
    m_PictureWidth = pixels;
    Refresh();
}

void ListView::SetPictureHeight(int pixels)
{
    m_PictureHeight = pixels;
    Refresh();
}

void ListView::SetPicturesVisible(bool on)
{
    m_PicturesVisible = on;
    Refresh();
}

void ListView::SetBorderStyle(int style)
{
    m_BorderStyle = style;
    switch (style) {
    case 0:
        setFrameStyle(QFrame::NoFrame);
        break;
    case 1: // a one-pixel sunken line
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        break;
    case 2: // the two-pixel sunken edge of an input field
        setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        break;
    default: // other values take the frame away from nothing and add none
        break;
    }
}

void ListView::SetOLEDropMode(int mode)
{
    m_OLEDropMode = mode;
    viewport()->setAcceptDrops(mode != 0);
}

void ListView::SetDrawCallback(ICustomDraw *callback)
{
    m_DrawCallback = callback ? callback : this;
    DrawNow();
}

void ListView::SetRedraw(bool on)
{
    m_Redraw = on;
    if (on)
        Refresh();
}

bool ListView::CustomDraw(int, int, qint32 &, qint32 &)
{
    return false;
}

// --- Font and layout ------------------------------------------------------

void ListView::ApplyFont()
{
    const QFont requested = font();
    if (requested.pixelSize() > 0) {
        m_FontHeight = requested.pixelSize();
    } else {
        // Points to pixels at the screen's vertical resolution, rounded to
        // the nearest pixel, from the size rounded to whole points.
        const int points = ListLayout::RoundHalfEven(requested.pointSizeF());
        const int dpi = logicalDpiY();
        m_FontHeight = (points * dpi + 36) / 72;
    }
    m_DrawFont = requested;
    m_DrawFont.setPixelSize(std::max(1, m_FontHeight));
}

void ListView::Refresh()
{
    m_Layout.Apply();
    m_Layout.UpdateVerticalRange();
    DrawNow();
}

// --- Methods --------------------------------------------------------------

void ListView::MakeSureVisible(int lngItem, int lngColumn)
{
    m_Layout.ScrollTo(lngItem, lngColumn);
    DrawNow();
}

void ListView::SelectAll()
{
    if (!m_MultiSelect)
        return;
    ListItemCollection &items = m_Model.Items();
    for (int i = 0; i < items.ItemCount(); ++i)
        items.Item(i)->SetSelected(true);
}

void ListView::UnSelectAll()
{
    ListItemCollection &items = m_Model.Items();
    for (int i = 0; i < items.ItemCount(); ++i)
        items.Item(i)->SetSelected(false);
}

// --- Model observer -------------------------------------------------------

void ListView::ListRedraw()
{
    // Clearing the list reports only a redraw; the emptied list must not
    // keep the scroll range of the rows it had.
    if (m_Model.ItemCount() == 0 && (m_Bars->Enabled(V) || m_Bars->Value(V) != 0))
        m_Layout.UpdateVerticalRange();
    DrawNow();
}

void ListView::ListRefresh()
{
    Refresh();
}

void ListView::ListScrollRangeChanged()
{
    m_Layout.UpdateVerticalRange();
}

void ListView::DrawNow()
{
    if (m_Redraw && !m_InDraw)
        viewport()->update();
}

// --- Qt events ------------------------------------------------------------

bool ListView::event(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange) {
        m_Colours.Update();
        DrawNow();
    }
    return QAbstractScrollArea::event(event);
}

void ListView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ApplyFont();
        Refresh();
        emit FontApplied();
    } else if (event->type() == QEvent::EnabledChange) {
        Refresh();
    }
}

int ListView::TextColumnWidth(int column, const QStringList &texts) const
{
    const QFontMetrics metrics(m_DrawFont);
    int widest = 0;
    for (const QString &t : texts)
        widest = std::max(widest, metrics.horizontalAdvance(t));
    const int indent = column == 0 && m_Checkboxes ? CheckboxIndent : 0;
    return widest + indent + m_PaddingLeft + m_PaddingRight;
}

void ListView::paintEvent(QPaintEvent *)
{
    // Painting also happens while Redraw is off when the window system asks
    // for it: showing the rows as they are beats showing garbage.
    if (m_InDraw)
        return;
    m_InDraw = true;
    QPainter painter(viewport());
    ListPainter(*this, painter).Paint();
    m_InDraw = false;
}

void ListView::resizeEvent(QResizeEvent *)
{
    if (m_Layout.Applying())
        return;
    Refresh();
}

void ListView::scrollContentsBy(int, int)
{
    // The scroll bars' Change redraws, and only while Redraw is on.
}

void ListView::keyPressEvent(QKeyEvent *event)
{
    m_Input->OnKeyDown(event);
}

void ListView::keyReleaseEvent(QKeyEvent *event)
{
    m_Input->OnKeyUp(event);
}

void ListView::mousePressEvent(QMouseEvent *event)
{
    m_Input->OnMouseDown(event);
}

void ListView::mouseMoveEvent(QMouseEvent *event)
{
    m_Input->OnMouseMove(event);
}

void ListView::mouseReleaseEvent(QMouseEvent *event)
{
    m_Input->OnMouseUp(event);
}

void ListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_Input->OnDoubleClick(event);
}

void ListView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    DrawNow();
}

void ListView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    DrawNow();
}

void ListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_OLEDropMode != 0)
        emit OLEDragOver(event);
}

void ListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_OLEDropMode != 0)
        emit OLEDragOver(event);
}

void ListView::dropEvent(QDropEvent *event)
{
    if (m_OLEDropMode != 0)
        emit OLEDragDrop(event);
}
