#include "util/libStamp.h"

#include <QDate>
#include <QTime>

namespace {

// Zero-padded decimal text cut to its last Width characters.
std::string digits(int value, std::size_t width)
{
    std::string text = std::to_string(value < 0 ? -value : value);
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text.substr(text.size() - width);
}

}  // namespace

std::string MakeDateStamp()
{
    return MakeDateStamp(QDate::currentDate());
}

std::string MakeDateStamp(const QDate& Date)
{
    return digits(Date.year(), 4) + digits(Date.month(), 2) + digits(Date.day(), 2);
}

std::string MakeTimeStamp()
{
    return MakeTimeStamp(QTime::currentTime());
}

std::string MakeTimeStamp(const QTime& Time)
{
    return digits(Time.hour(), 2) + digits(Time.minute(), 2) + digits(Time.second(), 2) +
           digits(Time.msec(), 3);
}
