// The finds viewer window.
#include "frmRTF.h"

#include "DesktopFileOpener.h"
#include "FileNames.h"
#include "RichTextBox.h"
#include "cFileResder.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <exception>

namespace {

// The layout's margins in twips at 15 twips per pixel: the box is this much
// narrower than the window, and this much shorter than the window less the
// button strip. Both are outer measures, title bar and borders included.
constexpr int kBoxWidthMargin = (400 + 7) / 15;
constexpr int kBoxHeightMargin = (700 + 7) / 15;
constexpr int kBoxGap = 4; // between the strip and the box

QPointer<frmRTF> g_viewer;
IFileOpener *g_opener = nullptr;

IFileOpener &opener()
{
    static DesktopFileOpener desktop;
    return g_opener ? *g_opener : desktop;
}

} // namespace

frmRTF::frmRTF(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmRTF"));
    QFont tahoma = font();
    tahoma.setFamilies({QStringLiteral("Tahoma")});
    setFont(tahoma);
    // The viewer never keeps the program running once the main window is gone.
    setAttribute(Qt::WA_QuitOnClose, false);

    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    auto *strip = new QHBoxLayout(Picture1);
    strip->setContentsMargins(6, 4, 6, 4);

    auto button = [&](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, Picture1);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(caption);
        b->setFocusPolicy(Qt::TabFocus);
        strip->addWidget(b);
        return b;
    };
    cmdEdit = button("cmdEdit", QStringLiteral("Öffnet die Datei mit Notepad"));
    cmdExplorer = button("cmdExplorer", QStringLiteral("Öffnet den Dateioordner"));
    cmdAnwendung = button("cmdAnwendung", QStringLiteral("Öffnen die Datei  mit der Standardanwendung"));

    chkTop = new QCheckBox(QStringLiteral("Fenster immer im Vordergrund?"), Picture1);
    chkTop->setObjectName(QStringLiteral("chkTop"));
    chkTop->setChecked(true);
    strip->addSpacing(12);
    strip->addWidget(chkTop);
    strip->addStretch(1);

    lblPosition = new QLabel(QStringLiteral("0"), Picture1);
    lblPosition->setObjectName(QStringLiteral("lblPosition"));
    lblPosition->setAutoFillBackground(true);
    QPalette grey = lblPosition->palette();
    grey.setColor(QPalette::Window, QColor(224, 224, 224));
    lblPosition->setPalette(grey);
    lblPosition->setMinimumWidth(160);
    lblPosition->setContentsMargins(6, 2, 6, 2);
    strip->addWidget(lblPosition);

    RichTextBox1 = new RichTextBox(this);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));

    connect(chkTop, &QCheckBox::toggled, this, &frmRTF::chkTop_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmRTF::cmdEdit_Click);
    connect(cmdExplorer, &QPushButton::clicked, this, &frmRTF::cmdExplorer_Click);
    connect(cmdAnwendung, &QPushButton::clicked, this, &frmRTF::cmdAnwendung_Click);
    connect(RichTextBox1, &RichTextBox::mouseButtonChanged, this, &frmRTF::RichTextBox1_Mouse);

    setWindowFlag(Qt::WindowStaysOnTopHint, chkTop->isChecked());
    const QRect available = screen()->availableGeometry();
    resize(screen()->geometry().width(), available.height() * 7 / 10);
}

frmRTF::~frmRTF() = default;

frmRTF *frmRTF::Instance()
{
    if (!g_viewer) {
        g_viewer = new frmRTF;
        g_viewer->setAttribute(Qt::WA_DeleteOnClose);
    }
    return g_viewer;
}

frmRTF *frmRTF::Existing()
{
    return g_viewer.data();
}

void frmRTF::ShowFinds(const QString &path, const QString &lookedFor, bool wholeWords, bool caseSensitive)
{
    frmRTF *viewer = Instance();
    viewer->loadText(path, lookedFor, wholeWords, caseSensitive);
    if (!viewer->isVisible()) {
        viewer->SetTopmost(viewer->chkTop->isChecked());
        viewer->show();
    }
}

void frmRTF::CloseViewer()
{
    if (g_viewer)
        g_viewer->close();
}

void frmRTF::SetFileOpener(IFileOpener *fileOpener)
{
    g_opener = fileOpener;
}

void frmRTF::loadText(const QString &path, const QString &lookedFor, bool wholeWords, bool caseSensitive)
{
    m_path = path;
    m_text = lookedFor;
    loadText(wholeWords, caseSensitive);
}

void frmRTF::loadText(bool wholeWords, bool caseSensitive)
{
    move(screen()->geometry().topLeft());
    RichTextBox1->setUpdatesEnabled(false);
    lblPosition->hide();
    if (!m_reader)
        m_reader = std::make_unique<cFileResder>();
    try {
        m_document = FindsDocument::Load(*m_reader, m_path, m_text, wholeWords, caseSensitive);
    } catch (const std::exception &) {
        // A file too large to hold twice in memory shows as an empty document.
        m_document = FindsDocument::Build(QStringView(), m_path, m_text, wholeWords, caseSensitive);
    }
    setWindowTitle(m_document.Caption);
    lblPosition->setVisible(m_document.PositionVisible);
    RichTextBox1->ShowDocument(m_document);
    lblPosition->setText(m_document.PositionCaption);
    if (isVisible())
        scrollToFirstRed();
    else
        m_scrollPending = true; // the view's height is known once it is shown
    RichTextBox1->setUpdatesEnabled(true);
}

void frmRTF::scrollToFirstRed()
{
    m_scrollPending = false;
    // One line above the first red passage stays in view for context; the
    // caret goes to the passage's start.
    if (m_document.FirstRedLine >= 0)
        RichTextBox1->ScrollToLine(std::max<qsizetype>(0, m_document.FirstRedLine - 1),
                                   static_cast<int>(m_document.Red.front().start));
}

void frmRTF::SetTopmost(bool on)
{
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (QWindow *window = windowHandle()) {
        // Telling the existing window keeps it shown and in place; changing
        // the widget's flags would hide and re-create it.
        overrideWindowFlags(flags);
        window->setFlags(flags);
        if (on)
            raise();
    } else {
        setWindowFlags(flags);
    }
}

void frmRTF::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_inResize)
        return;
    m_inResize = true;
    // The viewer always spans the screen's width: a narrower window snaps back.
    const int frameExtra = frameGeometry().width() - width();
    const int wanted = screen()->geometry().width() - frameExtra;
    if (wanted > 0 && width() != wanted)
        resize(wanted, height());

    const int stripHeight = Picture1->sizeHint().height();
    Picture1->setGeometry(0, 0, width(), stripHeight);
    const QSize outer = frameGeometry().size();
    const int boxWidth = std::max(0, outer.width() - kBoxWidthMargin);
    const int boxHeight = std::max(0, outer.height() - stripHeight - kBoxHeightMargin);
    RichTextBox1->setGeometry(std::max(0, (width() - boxWidth) / 2), stripHeight + kBoxGap, boxWidth, boxHeight);
    m_inResize = false;
}

void frmRTF::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_scrollPending)
        scrollToFirstRed();
}

void frmRTF::closeEvent(QCloseEvent *event)
{
    m_reader.reset();
    QWidget::closeEvent(event);
}

void frmRTF::chkTop_Click()
{
    SetTopmost(chkTop->isChecked());
}

void frmRTF::cmdEdit_Click()
{
    if (!m_path.isEmpty() && !opener().OpenWithEditor(m_path))
        tellNoProgram(QStringLiteral("Für die Datei \"%1\" ist kein Programm zum Öffnen eingerichtet.").arg(m_path));
}

void frmRTF::cmdExplorer_Click()
{
    const QString folder = FileNames::FolderOf(m_path);
    if (!m_path.isEmpty() && !opener().OpenFolder(folder))
        tellNoProgram(QStringLiteral("Für den Ordner \"%1\" ist kein Programm zum Öffnen eingerichtet.").arg(folder));
}

void frmRTF::cmdAnwendung_Click()
{
    if (!m_path.isEmpty() && !opener().OpenWithDefaultApplication(m_path))
        tellNoProgram(QStringLiteral("Für die Datei \"%1\" ist kein Programm zum Öffnen eingerichtet.").arg(m_path));
}

void frmRTF::tellNoProgram(const QString &text)
{
    // Not modal to the program: the viewer and the main window stay usable.
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void frmRTF::RichTextBox1_Mouse()
{
    lblPosition->setText(QStringLiteral("Zeile: ") + QString::number(RichTextBox1->GetCurrentLine()) +
                         QStringLiteral(", Zeichen: ") + QString::number(RichTextBox1->GetCurrentCol()));
}
