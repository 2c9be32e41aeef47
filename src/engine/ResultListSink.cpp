// Shows each file with finds as a row of the result list.
#include "ResultListSink.h"

#include "FileNames.h"
#include "ListModel.h"
#include "NumberFormat.h"
#include "cFileResder.h"

ResultListSink::ResultListSink(ListModel &list, std::vector<FileResult> &rows, const QLocale &locale)
    : m_list(list), m_rows(rows), m_locale(locale)
{}

void ResultListSink::FileDone(const FileResult &result, int)
{
    if (result.count <= 0)
        return;
    m_rows.push_back(result);
    const int row = m_list.AddItem();
    m_list.SetItemTag(row, static_cast<int>(m_rows.size()));
    m_list.SetItemText(row, CountColumn,
                       NumberFormat::RightAlign6(NumberFormat::Grouped(result.CountMade(), m_locale)));
    m_list.SetItemText(row, NameColumn, FileNames::FileNameOf(result.displayPath));
    m_list.SetItemText(row, FolderColumn, FileNames::FolderOf(result.displayPath));
    m_list.SetItemText(row, EncodingColumn, cFileResder::EncodingLabel(result.encoding));
}

void ResultListSink::AddColumns(ListModel &list)
{
    list.AddColumn(QStringLiteral("Funde"), QStringLiteral("Funde"), TextAlignment::Center, 70);
    list.AddColumn(QStringLiteral("trenner1"), QString(), TextAlignment::Center, 1, false, true);
    list.AddColumn(QStringLiteral("Dateiname"), QStringLiteral("Dateiname"), TextAlignment::Left, 250);
    list.AddColumn(QStringLiteral("trenner2"), QString(), TextAlignment::Center, 1, false, true);
    list.AddColumn(QStringLiteral("Pfad"), QStringLiteral("Pfad"), TextAlignment::Left, 538);
    list.AddColumn(QStringLiteral("trenner3"), QString(), TextAlignment::Center, 1, false, true);
    list.AddColumn(QStringLiteral("Encod."), QStringLiteral("Encod."), TextAlignment::Center, 52);
}
