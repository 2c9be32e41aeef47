// The finds viewer window: one file's finds in a read-only text view, with
// buttons that open the file or its folder elsewhere and a stay-on-top switch.
#pragma once

#include "FindsDocument.h"

#include <QWidget>
#include <memory>

class IFileOpener;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class RichTextBox;
class cFileResder;

class frmRTF : public QWidget
{
    Q_OBJECT

public:
    explicit frmRTF(QWidget *parent = nullptr);
    ~frmRTF() override;

    // The one viewer of the program, created on first use; it deletes itself
    // when closed, so the next call builds a new one with the switch ticked.
    static frmRTF *Instance();
    // The viewer if one exists, else nullptr; never creates one.
    static frmRTF *Existing();
    // A double click on a result row: a hidden viewer is shown and loaded, a
    // visible one reloads in place with the new file and text.
    static void ShowFinds(const QString &path, const QString &lookedFor, bool wholeWords, bool caseSensitive);
    // Closes the viewer if one is open (a new run starts, the program ends).
    static void CloseViewer();
    // Where the three buttons send the file; nullptr restores the desktop.
    // The opener is not owned and must outlive its use.
    static void SetFileOpener(IFileOpener *opener);

    // Reads the file again and rebuilds the content for it and the looked-for
    // text; the window moves to the screen's top left corner.
    void loadText(const QString &path, const QString &lookedFor, bool wholeWords, bool caseSensitive);
    // The same for the file and text of the last load.
    void loadText(bool wholeWords, bool caseSensitive);

    const QString &ViewerPath() const { return m_path; }
    const QString &ViewerText() const { return m_text; }
    const FindsDocument &Document() const { return m_document; }
    bool HasReader() const { return m_reader != nullptr; }

    // Keeps the window above all others (on) or lets them cover it (off).
    void SetTopmost(bool on);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void chkTop_Click();
    void cmdEdit_Click();
    void cmdExplorer_Click();
    void cmdAnwendung_Click();
    void tellNoProgram(const QString &text);
    void RichTextBox1_Mouse();
    void scrollToFirstRed();

    QFrame *Picture1;
    QPushButton *cmdEdit;
    QPushButton *cmdExplorer;
    QPushButton *cmdAnwendung;
    QCheckBox *chkTop;
    QLabel *lblPosition;
    RichTextBox *RichTextBox1;

    std::unique_ptr<cFileResder> m_reader; // from the first load until the window closes
    QString m_path;
    QString m_text;
    FindsDocument m_document;
    bool m_scrollPending = false;
    bool m_inResize = false;
};
