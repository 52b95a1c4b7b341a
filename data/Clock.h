#pragma once

#include <QDate>
#include <functional>

// The one place the program asks for "today" (the local calendar date, no
// time of day), so that tests can fix it.
namespace Clock {

QDate today();

// Replaces the source of today's date; an empty function restores the
// system clock.
void setTodaySource(std::function<QDate()> source);

} // namespace Clock
