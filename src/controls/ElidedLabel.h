// A one-line label that shortens a long text in the middle with "…" and
// shows the whole text as its tool tip, so a long path is never cut mid-word.
#pragma once

#include <QLabel>
#include <QString>

class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr);

    void SetFullText(const QString &text);
    const QString &FullText() const { return m_full; }

    // Layouts may make it as narrow as they need: the text is shortened.
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString m_full;
};
