// One row of the result list: a text per column and the row's flags.
#pragma once

#include <QString>
#include <vector>

class ListItem
{
public:
    explicit ListItem(int textCount = 0);

    // The text of column Index; an index outside the row's texts raises error 9.
    const QString &Text(int Index) const;
    void SetText(int Index, const QString &text);

    // Drops every text and makes room for `items` empty ones.
    void SetSubItemCount(int items);
    int SubItemCount() const { return static_cast<int>(m_Text.size()); }

    bool Selected() const { return m_Selected; }
    void SetSelected(bool on) { m_Selected = on; }
    int Tag() const { return m_Tag; }
    void SetTag(int tag) { m_Tag = tag; }
    bool Checked() const { return m_Checked; }
    void SetChecked(bool on) { m_Checked = on; }
    int PictureIndex() const { return m_PictureIndex; }
    void SetPictureIndex(int index) { m_PictureIndex = index; }

private:
    void CheckIndex(int Index) const;

    std::vector<QString> m_Text;
    bool m_Selected = false;
    int m_Tag = 0;
    bool m_Checked = false;
    int m_PictureIndex = 0;
};
