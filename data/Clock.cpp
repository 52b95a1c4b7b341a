#include "Clock.h"

namespace {
std::function<QDate()> &source()
{
    static std::function<QDate()> s;
    return s;
}

std::function<QDateTime()> &nowSource()
{
    static std::function<QDateTime()> s;
    return s;
}
} // namespace

QDate Clock::today()
{
    return source() ? source()() : QDate::currentDate();
}

void Clock::setTodaySource(std::function<QDate()> s)
{
    source() = std::move(s);
}

QDateTime Clock::now()
{
    return nowSource() ? nowSource()() : QDateTime::currentDateTime();
}

void Clock::setNowSource(std::function<QDateTime()> s)
{
    nowSource() = std::move(s);
}
