#include "frontend/systemlocale.h"

#include <QDate>
#include <QTime>

namespace kelvora {

namespace {

// The long time format of many locales holds the time zone ("h:mm:ss AP t", "HH:mm:ss (t)",
// "t HH:mm:ss"); the dates of the records are wall-clock times without a zone, so that field
// goes, with the brackets around it and the blanks before it.
QString timeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    const auto at = [&format](qsizetype i) { return i < format.size() ? format.at(i) : QChar(); };
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t')) {
            result += c;
            continue;
        }
        while (at(i + 1) == QLatin1Char('t'))
            ++i;
        const bool inParentheses = result.endsWith(QLatin1Char('(')) && at(i + 1) == u')';
        const bool inBrackets = result.endsWith(QLatin1Char('[')) && at(i + 1) == u']';
        if (inParentheses || inBrackets) {
            result.chop(1);
            ++i;
        }
        while (result.endsWith(QLatin1Char(' ')))
            result.chop(1);
    }
    return result.trimmed();
}

QString formatDateTimeText(const QLocale &locale, DateTime t)
{
    const CivilTime c = toCivil(t);
    const QString date = locale.toString(QDate(c.year, c.month, c.day), QLocale::ShortFormat);
    if (c.hour == 0 && c.minute == 0 && c.second == 0 && c.msec == 0)
        return date;
    const QTime time(c.hour, c.minute, c.second, c.msec);
    return date + QLatin1Char(' ') + locale.toString(time, timeFormatWithoutZone(locale));
}

} // namespace

char decimalSeparatorOf(const QLocale &locale)
{
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() > 32 && point.at(0).unicode() < 128)
        return static_cast<char>(point.at(0).unicode());
    return '.';
}

TextLocale textLocaleOf(const QLocale &locale)
{
    TextLocale result;
    result.decimalSeparator = decimalSeparatorOf(locale);
    result.formatDateTime = [locale](DateTime t) {
        return formatDateTimeText(locale, t).toStdString();
    };
    return result;
}

TextLocale systemTextLocale()
{
    return textLocaleOf(QLocale::system());
}

} // namespace kelvora
