#pragma once

#include <QDate>
#include <QDateTime>
#include <functional>

// The one place the program asks for "today" (the local calendar date, no
// time of day) and for the moment it is now, so that tests can fix them.
namespace Clock {

QDate today();

// Replaces the source of today's date; an empty function restores the
// system clock.
void setTodaySource(std::function<QDate()> source);

// The local date and time now (backups are named and kept by it).
QDateTime now();

// Replaces the source of now; an empty function restores the system clock.
void setNowSource(std::function<QDateTime()> source);

} // namespace Clock
