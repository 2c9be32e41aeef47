// What a window supplies for each of its controls so that its state can be kept in the settings file.
#pragma once

#include <QString>

class ISettingsControl
{
public:
    enum class Kind { TextBox, ScrollBar, OptionButton, CheckBox, ComboBox, DriveList, FolderList, TextBoxW, Other };

    virtual ~ISettingsControl() = default;

    virtual Kind SettingsKind() const = 0;
    // The control's name, e.g. "chkP".
    virtual QString SettingsName() const = 0;
    // The index in a control array; -1 when the control is not in one.
    virtual int SettingsIndex() const = 0;

    // The current value as text: TextBox the text; ScrollBar the value and
    // ComboBox the list index in decimal; OptionButton "Wahr" or "Falsch";
    // CheckBox "0", "1" or "2" (greyed); DriveList the drive as shown;
    // FolderList the full path; TextBoxW the raw text, lines ended by CR LF.
    virtual QString SettingsValue() const = 0;

    // Sets the value from the same text form (OptionButton receives "Wahr" or
    // "Falsch", ScrollBar, ComboBox and CheckBox a decimal number). False when
    // the value does not fit the control (out of range, a folder that no
    // longer exists); the control then keeps its state.
    virtual bool SetSettingsValue(const QString &value) = 0;
};
