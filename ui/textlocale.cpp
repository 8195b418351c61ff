#include "ui/textlocale.h"

#include <QDate>
#include <QTime>

namespace kelvora {

namespace {

// The long time format of many locales ends in the time zone ("h:mm:ss AP t"); the dates of
// the records are wall-clock times without a zone, so that part is dropped.
QString timeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result += c;
    }
    return result.trimmed();
}

} // namespace

char decimalSeparatorOf(const QLocale &locale)
{
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() > 32 && point.at(0).unicode() < 128)
        return static_cast<char>(point.at(0).unicode());
    return '.';
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
