#include "model.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <utility>

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
    const auto newline = input.find('\n');
    return newline == input.npos ? input.size() : newline + 1;
}

bool is_integer(const char *text)
{
    const bool negative = *text == '-';
    unsigned __int128 magnitude = 0;  // up to 2^64, which is too large either way
    for (const char *p = text + negative; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        magnitude = std::min<unsigned __int128>(magnitude * 10 + (*p - '0'), (unsigned __int128)1 << 64);
    }
    return text[negative] && magnitude <= (uint64_t{1} << 63) - !negative;
}

bool is_decimal(const char *text)
{
    const char *p = text + (*text == '-');
    bool digit = false, point = false;
    for (; *p; ++p) {
        if (*p == '.' && !point)
            point = true;
        else if (*p >= '0' && *p <= '9')
            digit = true;
        else
            return false;
    }
    return digit && std::isfinite(strtodec(text));
}

namespace {

// The text a number reader converts, and whether the line can be a number
// at all: no longer than number_capacity, no zero byte inside.
std::pair<std::string, bool> number_text(std::string_view input)
{
    std::string_view line = input.substr(0, line_length(input));
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    const bool fits = line.size() <= number_capacity;
    line = line.substr(0, number_capacity);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return {std::string(line), fits && line.find('\0') == line.npos};
}

}  // namespace

Number<int64_t> readint(std::string_view input)
{
    const auto [text, whole] = number_text(input);
    return {strtoint(text.c_str()), whole && is_integer(text.c_str())};
}

Number<double> readdec(std::string_view input)
{
    const auto [text, whole] = number_text(input);
    return {strtodec(text.c_str()), whole && is_decimal(text.c_str())};
}

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

uint64_t ulps_apart(double a, double b)
{
    // The bits as an integer that grows with the value: the negative ones
    // reflected below 0, so that -0.0 and 0.0 meet there.
    const auto ordered = [](double value) {
        const uint64_t word = to_bits(value);
        return word >> 63 ? static_cast<int64_t>(0 - (word & ~(uint64_t{1} << 63))) : static_cast<int64_t>(word);
    };
    const int64_t x = ordered(a), y = ordered(b);
    return x > y ? uint64_t(x) - uint64_t(y) : uint64_t(y) - uint64_t(x);
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
