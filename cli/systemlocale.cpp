#include "cli/systemlocale.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace kelvora::cli {

namespace {

// The locale's long time format without its time-zone field ("t", "tt", ...) and the blanks
// before it: a stored time is local wall-clock time with no zone attached.
QString timeFormatWithoutZone(const QString &format)
{
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) {
            while (result.endsWith(QLatin1Char(' ')))
                result.chop(1);
            continue;
        }
        result += c;
    }
    return result.trimmed();
}

} // namespace

TextLocale systemTextLocale()
{
    const QLocale locale = QLocale::system();
    TextLocale text;
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.front().unicode() < 128)
        text.decimalSeparator = static_cast<char>(point.front().unicode());

    const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    const QString timeFormat = timeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat));
    text.formatDateTime = [locale, dateFormat, timeFormat](DateTime t) {
        const CivilTime c = toCivil(t);
        QString shown = locale.toString(QDate(c.year, c.month, c.day), dateFormat);
        if (c.hour != 0 || c.minute != 0 || c.second != 0 || c.msec != 0)
            shown += QLatin1Char(' ')
                     + locale.toString(QTime(c.hour, c.minute, c.second, c.msec), timeFormat);
        return shown.toStdString();
    };
    return text;
}

} // namespace kelvora::cli
