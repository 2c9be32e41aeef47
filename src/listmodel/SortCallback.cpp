// The pair-by-pair row comparison and the locale readings of numbers and dates it rests on.
#include "SortCallback.h"

#include "ListItem.h"

#include <QCollator>
#include <charconv>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

// The largest magnitude a decimal number holds; a larger value reads as a
// number but cannot be converted, so such a pair compares as equal.
constexpr double kDecimalMax = 79228162514264337593543950335.0;

struct DateToken
{
    enum Kind { Day, Month, MonthName, DayName, Year, Literal };
    Kind kind;
    QString literal; // trimmed separator text; empty for a separator of blanks
};

struct DatePattern
{
    std::vector<DateToken> tokens;
    bool usable = false;         // the format has one day, one month and one year
    std::vector<QString> months; // month names, long and short; index % 12 is the month - 1
    std::vector<QString> dayNames;
};

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

void appendLiteral(std::vector<DateToken> &tokens, const QString &text)
{
    if (!text.isEmpty())
        tokens.push_back({DateToken::Literal, text.trimmed()});
}

DatePattern makeDatePattern(const QLocale &locale)
{
    DatePattern p;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    int days = 0, months = 0, years = 0;
    QString literal;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            // Quoted text is literal; two quotes stand for one.
            ++i;
            if (i < format.size() && format[i] == u'\'') {
                literal += u'\'';
                ++i;
                continue;
            }
            while (i < format.size()) {
                if (format[i] == u'\'') {
                    if (i + 1 < format.size() && format[i + 1] == u'\'') {
                        literal += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal += format[i++];
            }
            continue;
        }
        if (c == u'd' || c == u'M' || c == u'y') {
            qsizetype run = 0;
            while (i + run < format.size() && format[i + run] == c)
                ++run;
            i += run;
            appendLiteral(p.tokens, literal);
            literal.clear();
            if (c == u'd') {
                p.tokens.push_back({run >= 3 ? DateToken::DayName : DateToken::Day, {}});
                days += run >= 3 ? 0 : 1;
            } else if (c == u'M') {
                p.tokens.push_back({run >= 3 ? DateToken::MonthName : DateToken::Month, {}});
                ++months;
            } else {
                p.tokens.push_back({DateToken::Year, {}});
                ++years;
            }
            continue;
        }
        literal += c;
        ++i;
    }
    appendLiteral(p.tokens, literal);
    p.usable = days == 1 && months == 1 && years == 1;
    for (QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
        for (int m = 1; m <= 12; ++m)
            p.months.push_back(locale.monthName(m, type));
        for (int m = 1; m <= 12; ++m)
            p.months.push_back(locale.standaloneMonthName(m, type));
    }
    for (QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat})
        for (int d = 1; d <= 7; ++d)
            p.dayNames.push_back(locale.dayName(d, type));
    return p;
}

// The longest name that the text continues with at pos, or -1.
int matchName(QStringView text, qsizetype pos, const std::vector<QString> &names, qsizetype *length)
{
    int best = -1;
    *length = 0;
    const QStringView rest = text.mid(pos);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QString &name = names[i];
        if (!name.isEmpty() && name.size() > *length && rest.startsWith(name, Qt::CaseInsensitive)) {
            best = static_cast<int>(i);
            *length = name.size();
        }
    }
    return best;
}

bool readDateWith(QStringView text, const DatePattern &p, QDate *date)
{
    if (!p.usable)
        return false;
    const qsizetype end = text.size();
    qsizetype pos = 0;
    auto skipBlanks = [&] {
        const qsizetype start = pos;
        while (pos < end && text[pos].isSpace())
            ++pos;
        return pos - start;
    };
    skipBlanks();
    if (pos == end)
        return false;
    int day = 0, month = 0, year = 0;
    for (std::size_t t = 0; t < p.tokens.size(); ++t) {
        const DateToken &token = p.tokens[t];
        if (token.kind == DateToken::Literal) {
            const qsizetype blanks = skipBlanks();
            if (pos == end && t + 1 == p.tokens.size())
                break; // a closing separator ("2024. 05. 01.") may be left out
            if (token.literal.isEmpty()) {
                if (blanks == 0)
                    return false;
                continue;
            }
            if (!text.mid(pos).startsWith(token.literal, Qt::CaseInsensitive))
                return false;
            pos += token.literal.size();
            skipBlanks();
            continue;
        }
        if (token.kind == DateToken::MonthName || token.kind == DateToken::DayName) {
            qsizetype length = 0;
            const int found = matchName(text, pos, token.kind == DateToken::MonthName ? p.months : p.dayNames, &length);
            if (found < 0)
                return false;
            if (token.kind == DateToken::MonthName)
                month = found % 12 + 1;
            pos += length;
            continue;
        }
        const qsizetype start = pos;
        int value = 0;
        while (pos < end && isAsciiDigit(text[pos])) {
            if (pos - start < 4)
                value = value * 10 + (text[pos].unicode() - u'0');
            ++pos;
        }
        const qsizetype digits = pos - start;
        if (token.kind == DateToken::Year) {
            if (digits == 4)
                year = value;
            else if (digits == 1 || digits == 2)
                year = value < 30 ? 2000 + value : 1900 + value;
            else
                return false;
        } else {
            if (digits < 1 || digits > 2)
                return false;
            (token.kind == DateToken::Day ? day : month) = value;
        }
    }
    skipBlanks();
    if (pos != end)
        return false;
    const QDate result(year, month, day);
    if (!result.isValid())
        return false;
    *date = result;
    return true;
}

struct SortState
{
    int column = 0;
    int order = 0;
    QLocale locale;
    DatePattern datePattern;
    std::unique_ptr<QCollator> collator;

    SortState() { setLocale(QLocale()); }

    void setLocale(const QLocale &newLocale)
    {
        if (collator && newLocale == locale)
            return;
        locale = newLocale;
        datePattern = makeDatePattern(locale);
        collator = std::make_unique<QCollator>(locale);
        collator->setCaseSensitivity(Qt::CaseInsensitive);
    }
};

SortState &state()
{
    static SortState s;
    return s;
}

int sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// A text the row does not have reads as empty, as if the failed read had
// been passed over.
QString cellText(const ListItem &row, int column)
{
    if (column < 0 || column >= row.SubItemCount())
        return QString();
    return row.Text(column);
}

} // namespace

void SortCallback::SetSortColumn(int column)
{
    state().column = column;
}

void SortCallback::SetSortOrder(int order)
{
    state().order = order;
}

void SortCallback::SetSortLocale(const QLocale &locale)
{
    state().setLocale(locale);
}

int SortCallback::SortColumn()
{
    return state().column;
}

int SortCallback::SortOrder()
{
    return state().order;
}

QLocale SortCallback::SortLocale()
{
    return state().locale;
}

int SortCallback::CompareListItems(const ListItem &A, const ListItem &B)
{
    const int column = state().column;
    CellKey a = MakeKey(cellText(A, column));
    CellKey b = MakeKey(cellText(B, column));
    return CompareKeys(a, b);
}

SortCallback::CellKey SortCallback::MakeKey(const QString &text)
{
    const SortState &s = state();
    CellKey key;
    key.text = text;
    double number = 0;
    if (ReadNumber(text, s.locale, &number)) {
        key.numeric = true;
        key.convertible = std::fabs(number) <= kDecimalMax;
        key.number = number;
    }
    QDate date;
    if (readDateWith(text, s.datePattern, &date)) {
        key.isDate = true;
        key.julianDay = date.toJulianDay();
    }
    return key;
}

int SortCallback::CompareKeys(CellKey &a, CellKey &b)
{
    SortState &s = state();
    int result = 0;
    if (a.numeric && b.numeric) {
        // A pair that cannot be converted keeps the result it had: equal.
        if (a.convertible && b.convertible)
            result = a.number > b.number ? -1 : (a.number < b.number ? 1 : 0);
    } else if (a.isDate && b.isDate) {
        result = a.julianDay > b.julianDay ? -1 : (a.julianDay < b.julianDay ? 1 : 0);
    } else {
        if (!a.collation)
            a.collation = s.collator->sortKey(a.text);
        if (!b.collation)
            b.collation = s.collator->sortKey(b.text);
        result = sign(a.collation->compare(*b.collation));
    }
    if (s.order == 1)
        result = -result;
    return result;
}

bool SortCallback::ReadNumber(QStringView text, const QLocale &locale, double *value)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].isSpace())
        ++begin;
    while (end > begin && text[end - 1].isSpace())
        --end;
    if (begin == end)
        return false;
    const QStringView body = text.sliced(begin, end - begin);
    const QString group = locale.groupSeparator();
    const QString decimal = locale.decimalPoint();
    const QString negative = locale.negativeSign();
    const QString positive = locale.positiveSign();
    const QString exponent = locale.exponential();
    // Where the locale groups with a (no-break) space, any blank will do.
    const bool groupIsBlank = group.size() == 1 && group[0].isSpace();

    std::string ascii;
    ascii.reserve(static_cast<std::size_t>(body.size()) + 2);
    qsizetype pos = 0;
    const qsizetype size = body.size();
    auto at = [&](const QString &s) { return !s.isEmpty() && body.sliced(pos).startsWith(s); };

    if (body[pos] == u'-' || body[pos] == QChar(0x2212)) {
        ascii += '-';
        ++pos;
    } else if (at(negative)) {
        ascii += '-';
        pos += negative.size();
    } else if (body[pos] == u'+') {
        ++pos;
    } else if (at(positive)) {
        pos += positive.size();
    }

    int intDigits = 0;
    int groupDigits = 0;
    bool grouped = false;
    while (pos < size) {
        if (isAsciiDigit(body[pos])) {
            ascii += static_cast<char>(body[pos].unicode());
            ++intDigits;
            ++groupDigits;
            ++pos;
            continue;
        }
        qsizetype separator = 0;
        if (at(group))
            separator = group.size();
        else if (groupIsBlank && body[pos].isSpace())
            separator = 1;
        if (separator == 0 || intDigits == 0)
            break;
        // The first group has one to three digits, every later one three.
        if (grouped ? groupDigits != 3 : groupDigits > 3)
            return false;
        grouped = true;
        groupDigits = 0;
        pos += separator;
    }
    if (grouped && groupDigits != 3)
        return false;

    int fractionDigits = 0;
    if (at(decimal)) {
        ascii += '.';
        pos += decimal.size();
        while (pos < size && isAsciiDigit(body[pos])) {
            ascii += static_cast<char>(body[pos].unicode());
            ++fractionDigits;
            ++pos;
        }
    }
    if (intDigits + fractionDigits == 0)
        return false;

    if (pos < size && (body[pos] == u'e' || body[pos] == u'E' || at(exponent))) {
        pos += (body[pos] == u'e' || body[pos] == u'E') ? 1 : exponent.size();
        ascii += 'e';
        if (pos < size && (body[pos] == u'-' || body[pos] == u'+')) {
            ascii += static_cast<char>(body[pos].unicode());
            ++pos;
        }
        int exponentDigits = 0;
        while (pos < size && isAsciiDigit(body[pos])) {
            ascii += static_cast<char>(body[pos].unicode());
            ++exponentDigits;
            ++pos;
        }
        if (exponentDigits == 0)
            return false;
    }
    if (pos != size)
        return false;

    double parsed = 0;
    const char *first = ascii.data();
    const char *last = first + ascii.size();
    const auto [ptr, ec] = std::from_chars(first, last, parsed);
    if (ec != std::errc() || ptr != last || !std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

bool SortCallback::ReadDate(QStringView text, const QLocale &locale, QDate *date)
{
    return readDateWith(text, makeDatePattern(locale), date);
}
