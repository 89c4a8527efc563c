// The log lines' time stamp.
#include "support/log_stamp.h"

#include <cstdio>
#include <mutex>

std::string logTimeStamp(std::time_t when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  {
    // localtime's result is shared; copy it out under the lock.
    static std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    const std::tm* t = std::localtime(&when);
    if (t) local = *t;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s %s %2d %02d:%02d:%02d %04d", kDays[local.tm_wday % 7],
                kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, local.tm_year + 1900);
  return buf;
}
