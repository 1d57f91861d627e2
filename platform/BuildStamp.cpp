#include "BuildStamp.h"

#include <chrono>
#include <cstring>

namespace plat {

std::string BuildTimestamp(const char* dateText, const char* timeText) {
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const std::string date = dateText ? dateText : "";
    const std::string time = timeText ? timeText : "";
    if (date.size() < 11)
        return date + " " + time;
    const char* m = std::strstr(kMonths, date.substr(0, 3).c_str());
    const unsigned month = m ? static_cast<unsigned>((m - kMonths) / 3 + 1) : 1;
    const unsigned day = static_cast<unsigned>(std::strtoul(date.substr(4, 2).c_str(), nullptr, 10));
    const int year = static_cast<int>(std::strtol(date.substr(7).c_str(), nullptr, 10));
    const std::chrono::year_month_day ymd{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
    if (!ymd.ok())
        return date + " " + time;
    const std::chrono::weekday wd{std::chrono::sys_days{ymd}};
    return std::string(kDays[wd.c_encoding()]) + " " + date.substr(0, 6) + " " + time + " " + date.substr(7);
}

}  // namespace plat
