// The list control itself: properties, layout, scroll ranges, and the Qt events it hands to painter and input handler.
#include "ListView.h"

#include "ListInputHandler.h"
#include "ListPainter.h"
#include "ScrollBars.h"

#include <QDropEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>

namespace {

constexpr int H = ScrollBars::Horizontal;
constexpr int V = ScrollBars::Vertical;

// System colours: the index in the low bits, the top bit set.
constexpr quint32 kWindow = 0x80000005u;
constexpr quint32 kWindowText = 0x80000008u;
constexpr quint32 kHighlight = 0x8000000Du;
constexpr quint32 kHighlightText = 0x8000000Eu;
constexpr quint32 kButtonFace = 0x8000000Fu;
constexpr quint32 kButtonShadow = 0x80000010u;
constexpr quint32 kButtonText = 0x80000012u;
constexpr quint32 kButtonHighlight = 0x80000014u;
constexpr quint32 kDarkShadow = 0x80000015u;
constexpr quint32 kLight = 0x80000016u;

// Every rounding of the layout takes halves to the even neighbour.
int RoundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

ListView::ListView(QWidget *parent)
    : QAbstractScrollArea(parent), m_Bars(new ScrollBars(this)), m_Input(new ListInputHandler(*this)),
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

    m_BackColor.SetColor(kWindow, true);
    m_ForeColor.SetColor(kWindowText);
    m_SelectedBackColor.SetColor(kHighlight, true);
    m_SelectedForeColor.SetColor(kHighlightText);
    m_FocusRectColor.SetColor(kHighlight, false, true);
    m_CheckboxColor.SetColor(0x000000, false, true);
    m_CheckboxSelectedColor.SetColor(0xFFFFFF, false, true);
    m_ButtonFace.SetColor(kButtonFace, true);
    m_ButtonText.SetColor(kButtonText);
    m_EdgeLight.SetColor(kButtonHighlight, false, true);
    m_EdgeMidlight.SetColor(kLight, false, true);
    m_EdgeDark.SetColor(kButtonShadow, false, true);
    m_EdgeShadow.SetColor(kDarkShadow, false, true);

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
    SetColour(m_BackColor, value, true, false);
}

void ListView::SetForeColor(quint32 value)
{
    SetColour(m_ForeColor, value, false, false);
}

void ListView::SetSelectedBackColor(quint32 value)
{
    SetColour(m_SelectedBackColor, value, true, false);
}

void ListView::SetSelectedForeColor(quint32 value)
{
    SetColour(m_SelectedForeColor, value, false, false);
}

void ListView::SetFocusRectColor(quint32 value)
{
    SetColour(m_FocusRectColor, value, false, true);
}

void ListView::SetCheckboxColor(quint32 value)
{
    SetColour(m_CheckboxColor, value, false, true);
}

void ListView::SetCheckboxSelectedColor(quint32 value)
{
    SetColour(m_CheckboxSelectedColor, value, false, true);
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

// --- Layout ---------------------------------------------------------------

void ListView::ApplyFont()
{
    const QFont requested = font();
    if (requested.pixelSize() > 0) {
        m_FontHeight = requested.pixelSize();
    } else {
        // Points to pixels at the screen's vertical resolution, rounded to
        // the nearest pixel, from the size rounded to whole points.
        const int points = RoundHalfEven(requested.pointSizeF());
        const int dpi = logicalDpiY();
        m_FontHeight = (points * dpi + 36) / 72;
    }
    m_DrawFont = requested;
    m_DrawFont.setPixelSize(std::max(1, m_FontHeight));
}

int ListView::ColumnDrawWidth(int column) const
{
    const ColumnCollection &columns = m_Model.Columns();
    if (column < 0 || column >= columns.Count())
        return 0;
    const Column &c = *columns.Item(column);
    if (!c.Visible)
        return 0;
    return m_ColumnsAutoSize ? c.WidthAutoSized : c.Width;
}

void ListView::Layout()
{
    if (m_InLayout)
        return;
    m_InLayout = true;
    ColumnCollection &columns = m_Model.Columns();
    const int clientWidth = viewport()->width();
    if (!m_ColumnsAutoSize) {
        int total = 0;
        for (int i = 0; i < columns.Count(); ++i) {
            if (columns.Item(i)->Visible)
                total += columns.Item(i)->Width;
        }
        m_TotalColumnWidth = total;
    } else {
        // Fixed columns keep their width; the resizable ones share what is
        // left in proportion to their widths.
        m_TotalColumnWidth = clientWidth;
        double resizable = 0;
        int fixed = 0;
        int lastVisible = -1;
        for (int i = 0; i < columns.Count(); ++i) {
            Column &c = *columns.Item(i);
            if (!c.Visible)
                continue;
            lastVisible = i;
            if (c.Resizable) {
                resizable += c.Width;
            } else {
                fixed += c.Width;
                c.WidthAutoSized = c.Width;
            }
        }
        int right = 0;
        for (int i = 0; i < columns.Count(); ++i) {
            Column &c = *columns.Item(i);
            if (!c.Visible)
                continue;
            if (c.Resizable)
                c.WidthAutoSized = resizable > 0 ? RoundHalfEven(c.Width / resizable * (clientWidth - fixed) + 0.5) : 0;
            if (i == lastVisible && right + c.WidthAutoSized > clientWidth)
                c.WidthAutoSized = std::max(0, clientWidth - right);
            right += c.WidthAutoSized;
        }
    }

    if (m_TotalColumnWidth <= clientWidth) {
        m_Bars->SetVisible(H, false);
        m_Bars->SetValue(H, 0);
    } else {
        m_Bars->SetVisible(H, true);
        m_Bars->SetMin(H, 0);
        m_Bars->SetMax(H, m_TotalColumnWidth - clientWidth - 1);
        m_Bars->SetLargeChange(H, RoundHalfEven(m_TotalColumnWidth / 2.0));
        m_Bars->SetSmallChange(H, 3);
        m_Bars->SetEnabled(H, isEnabled());
    }
    // The horizontal bar may have taken some of the height; the width stays.
    m_HeaderHeight = m_ColumnsVisible ? m_FontHeight + 8 : 0;
    m_ContentWidth = std::max(m_TotalColumnWidth, viewport()->width());
    m_InLayout = false;
}

int ListView::ItemHeight() const
{
    int h;
    if (m_ItemsAutoSize) {
        h = m_FontHeight + 4;
        if (m_Checkboxes)
            h = std::max(h, 19);
    } else {
        h = m_FontHeight + m_PaddingTop + m_PaddingBottom;
    }
    // Every row position divides by the height, so it is never below one
    // pixel, whatever the paddings say.
    return std::max(h, 1);
}

int ListView::VisibleRowCount() const
{
    const int listHeight = viewport()->height() - m_HeaderHeight;
    return RoundHalfEven(double(listHeight + 1) / ItemHeight() + 0.5);
}

int ListView::FullyVisibleRowCount() const
{
    // Counted like VisibleRowCount: a row short of only its last pixel line
    // (padding) counts as whole.
    const int listHeight = viewport()->height() - m_HeaderHeight;
    return std::max(1, (listHeight + 1) / ItemHeight());
}

int ListView::TopRow() const
{
    return m_Bars->Value(V);
}

int ListView::ScrollX() const
{
    return m_TotalColumnWidth > viewport()->width() ? m_Bars->Value(H) : 0;
}

void ListView::UpdateVerticalRange()
{
    if (!isEnabled()) {
        m_Bars->SetEnabled(V, false);
        return;
    }
    // The last top row is the one that shows the last row whole. The page is
    // the rows that fit whole, which lets the value reach Max + 1.
    const int full = FullyVisibleRowCount();
    const int lastTop = m_Model.ItemCount() - full;
    if (lastTop <= 0) {
        if (m_Bars->Enabled(V))
            m_Bars->SetEnabled(V, false);
        m_Bars->SetLargeChange(V, 0);
        m_Bars->SetMax(V, 0);
        m_Bars->SetValue(V, 0);
    } else {
        m_Bars->SetEnabled(V, true);
        m_Bars->SetLargeChange(V, full);
        m_Bars->SetMax(V, lastTop - 1);
    }
}

void ListView::Refresh()
{
    Layout();
    UpdateVerticalRange();
    DrawNow();
}

// --- Methods --------------------------------------------------------------

int ListView::ColumnFromPoint(int X, int) const
{
    if (X > m_TotalColumnWidth - 1)
        return -1;
    int right = 0;
    for (int i = 0; i < m_Model.Columns().Count(); ++i) {
        if (!m_Model.Columns().Item(i)->Visible)
            continue;
        right += ColumnDrawWidth(i);
        if (right > X)
            return i;
    }
    return -1;
}

int ListView::RowFromPoint(int X, int y, bool HitTest) const
{
    const int row = static_cast<int>(std::floor(double(y - m_HeaderHeight) / ItemHeight())) + TopRow();
    if (HitTest && (X > m_TotalColumnWidth - 1 || row < 0 || row > m_Model.ItemCount() - 1))
        return -1;
    return row;
}

void ListView::MakeSureVisible(int lngItem, int lngColumn)
{
    m_Bars->SetValue(V, lngItem);
    if (lngColumn >= 0 && !m_ColumnsAutoSize && m_TotalColumnWidth > viewport()->width()) {
        int left = 0;
        for (int i = 0; i < lngColumn && i < m_Model.ColumnCount(); ++i)
            left += ColumnDrawWidth(i);
        m_Bars->SetValue(H, left);
    }
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
        UpdateVerticalRange();
    DrawNow();
}

void ListView::ListRefresh()
{
    Refresh();
}

void ListView::ListScrollRangeChanged()
{
    UpdateVerticalRange();
}

void ListView::DrawNow()
{
    if (m_Redraw && !m_InDraw)
        viewport()->update();
}

void ListView::UpdateSystemColours()
{
    for (Color *c : {&m_BackColor, &m_ForeColor, &m_SelectedBackColor, &m_SelectedForeColor, &m_FocusRectColor,
                     &m_CheckboxColor, &m_CheckboxSelectedColor, &m_ButtonFace, &m_ButtonText, &m_EdgeLight,
                     &m_EdgeMidlight, &m_EdgeDark, &m_EdgeShadow})
        c->Update();
}

// --- Qt events ------------------------------------------------------------

bool ListView::event(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange) {
        UpdateSystemColours();
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
    } else if (event->type() == QEvent::EnabledChange) {
        Refresh();
    }
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
    if (m_InLayout)
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
