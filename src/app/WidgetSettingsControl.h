// One control of the main window as the settings file sees it: its kind,
// name, index and value, read from and written to the Qt widget.
#pragma once

#include "ISettingsControl.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class WidgetSettingsControl : public ISettingsControl
{
public:
    // get and set convert between the widget and the kind's text form.
    WidgetSettingsControl(Kind kind, QString name, int index, std::function<QString()> get,
                          std::function<bool(const QString &)> set);

    Kind SettingsKind() const override { return m_kind; }
    QString SettingsName() const override { return m_name; }
    int SettingsIndex() const override { return m_index; }
    QString SettingsValue() const override { return m_get(); }
    bool SetSettingsValue(const QString &value) override { return m_set(value); }

private:
    Kind m_kind;
    QString m_name;
    int m_index;
    std::function<QString()> m_get;
    std::function<bool(const QString &)> m_set;
};
