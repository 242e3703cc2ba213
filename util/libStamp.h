// The date and time stamps that make file names unique: today as eight digits and now as
// nine, each field zero-padded and cut to its width, in local time. The overloads format a
// given date or time (for tests and callers that need one instant for both).
// Any thread.
#pragma once

#include <string>

class QDate;
class QTime;

// YYYYMMDD.
std::string MakeDateStamp();
std::string MakeDateStamp(const QDate& Date);
// HHMMSSmmm.
std::string MakeTimeStamp();
std::string MakeTimeStamp(const QTime& Time);
