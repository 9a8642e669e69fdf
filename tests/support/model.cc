#include "model.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace model {

int64_t strtoint(const char *p)
{
    const bool negative = *p == '-';
    p += negative;
    uint64_t acc = 0;
    for (;; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
        if (digit > 9)
            break;
        acc = acc * 10 + digit;
    }
    return static_cast<int64_t>(negative ? 0 - acc : acc);
}

double strtodec(const char *p)
{
    double scale = 10.0, acc = 0.0;
    const bool negative = *p == '-';
    p += negative;
    for (;; ++p) {
        if (*p == '.') {
            for (++p;; ++p) {
                const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
                if (digit > 9)
                    break;
                acc = acc + static_cast<double>(digit) / scale;
                scale = scale * 10.0;
            }
            break;
        }
        const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
        if (digit > 9)
            break;
        acc = acc * 10.0 + static_cast<double>(digit);
    }
    return negative ? 0.0 - acc : acc;
}

std::size_t line_length(std::string_view input)
{
    const auto line = input.substr(0, line_capacity);
    const auto newline = line.find('\n');
    return newline == line.npos ? line.size() : newline + 1;
}

namespace {

std::string one_line(std::string_view input)
{
    return std::string(input.substr(0, line_length(input)));  // c_str() ends it at a zero byte
}

}  // namespace

int64_t readint(std::string_view input) { return strtoint(one_line(input).c_str()); }

double readdec(std::string_view input) { return strtodec(one_line(input).c_str()); }

std::string writeint(int64_t value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::string writechr(uint64_t code)
{
    std::string text;
    for (; code & 0xff; code >>= 8)
        text += static_cast<char>(code & 0xff);
    return text;
}

double from_bits(uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint64_t to_bits(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The rounding bias added before a decimal is cut to six places.
static const double bias = from_bits(0x3EA0C6F7A0B5ED8D);

std::string exact_whole(double value)
{
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
}

std::string writedec(double value)
{
    if (std::isnan(value))
        return "nan";
    std::string text;
    if (value < 0) {
        text = "-";
        value = 0.0 - value;
    }
    if (std::isinf(value))
        return text + "inf";
    const double x = value + bias;
    if (x >= 0x1p63)
        return text + exact_whole(value) + ".0";
    const int64_t whole = static_cast<int64_t>(x);
    text += std::to_string(whole) + ".";
    double f = x - static_cast<double>(whole);
    double s = 1000000.0;
    int k = 1;
    for (;;) {
        f = f * 10.0;
        const int digit = static_cast<int>(f);
        text += static_cast<char>('0' + digit);
        ++k;
        f = f - static_cast<double>(digit);
        s = s / 10.0;
        if (static_cast<int>(f * s) == 0 || k > 6)
            break;
    }
    return text;
}

}  // namespace model
