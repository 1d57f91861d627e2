// Usage text of edgemill with the build date and time.
#include "Edgemill.h"

#include <chrono>
#include <cstring>

namespace {

// The compiler's build date ("Mar 23 2017") and time ("19:17:33") as
// "Thu Mar 23 19:17:33 2017".
std::string BuildTimestamp() {
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const std::string date = __DATE__;
    const std::string time = __TIME__;
    const char* m = std::strstr(kMonths, date.substr(0, 3).c_str());
    const unsigned month = m ? static_cast<unsigned>((m - kMonths) / 3 + 1) : 1;
    const unsigned day = static_cast<unsigned>(std::stoi(date.substr(4, 2)));
    const int year = std::stoi(date.substr(7));
    const std::chrono::year_month_day ymd{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
    const std::chrono::weekday wd{std::chrono::sys_days{ymd}};
    return std::string(kDays[wd.c_encoding()]) + " " + date.substr(0, 6) + " " + time + " " + date.substr(7);
}

}  // namespace

std::string EdgemillUsage() {
    return "     edgemill\n"
           "     ======================================================================\n"
           "     BUILD DATE: " + BuildTimestamp() + "\n"
           "     ======================================================================\n"
           "\n"
           "     Useage: edgemill [basename] [optional switches]\n"
           "\n"
           "     Available switches:\n"
           "          /r - process as if the first AB transition is the reverse\n"
           "               direction\n"
           "          /p - print axle direction report\n"
           "          /b - use special WDA WDB bitmasks with transducer number\n"
           "               for example: /b:0x0200:0x0100:1\n"
           "               WDA bitmask=0x0200 WDB bitmask=0x0100 ducer#1\n"
           "\n"
           "     Takes 007 file and generates an 010 and 011 file.\n";
}
