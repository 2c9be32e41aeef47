// One control of the main window as the settings file sees it.
#include "WidgetSettingsControl.h"

WidgetSettingsControl::WidgetSettingsControl(Kind kind, QString name, int index, std::function<QString()> get,
                                             std::function<bool(const QString &)> set)
    : m_kind(kind), m_name(std::move(name)), m_index(index), m_get(std::move(get)), m_set(std::move(set))
{}
