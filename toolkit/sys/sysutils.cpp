#include "toolkit/sys/sysutils.h"

#include "toolkit/app/exception.h"

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <thread>

int ParseIntDefault(std::string_view text, int fallback) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) return fallback;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch < '0' || ch > '9') return fallback;
        value = value * 10 + (ch - '0');
        if (value > std::int64_t{std::numeric_limits<int>::max()} + 1) return fallback;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return fallback;
    return static_cast<int>(value);
}

namespace {

// One %d conversion: flags, width and precision, no length modifiers.
bool valid_int_conversion(std::string_view conversion) {
    std::size_t i = 0;
    while (i < conversion.size() && std::string_view("-+ 0#").find(conversion[i]) != std::string_view::npos) ++i;
    while (i < conversion.size() && std::isdigit(static_cast<unsigned char>(conversion[i]))) ++i;
    if (i < conversion.size() && conversion[i] == '.') {
        ++i;
        while (i < conversion.size() && std::isdigit(static_cast<unsigned char>(conversion[i]))) ++i;
    }
    return i + 1 == conversion.size() && conversion[i] == 'd';
}

}  // namespace

std::string FormatText(std::string_view format, int a, int b, int c) {
    const int args[3] = {a, b, c};
    int used = 0;
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        const std::size_t end = format.find('d', i);
        if (end == std::string_view::npos || used == 3) throw Exception("Format '" + std::string(format) + "' invalid");
        const std::string conversion(format.substr(i, end - i + 1));
        if (!valid_int_conversion(std::string_view(conversion).substr(1))) throw Exception("Format '" + std::string(format) + "' invalid");
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, conversion.c_str(), args[used++]);
        out += buffer;
        i = end;
    }
    return out;
}

namespace {

SleepHandler& sleep_handler() {
    static SleepHandler handler;
    return handler;
}

}  // namespace

void Sleep(unsigned ms) {
    if (const auto& handler = sleep_handler()) {
        handler(ms);
        return;
    }
    // The kernel wakes a sleeper about 0.1 ms late, which adds up over the
    // short pauses of the animations: sleep to just short of the deadline,
    // then wait out the rest awake (a yield would hand the processor to
    // whatever else is runnable, for a whole time slice).
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    const auto wake = deadline - std::chrono::microseconds(250);
    if (Clock::now() < wake) std::this_thread::sleep_until(wake);
    while (Clock::now() < deadline) {
    }
}

SleepHandler SetSleepHandler(SleepHandler handler) {
    SleepHandler previous = std::move(sleep_handler());
    sleep_handler() = std::move(handler);
    return previous;
}
