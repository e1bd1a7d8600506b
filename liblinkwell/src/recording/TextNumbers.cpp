#include "recording/TextNumbers.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text of a number after the white space and the sign in front of it,
// and whether the sign was a minus. A second sign is left in the text, where
// it makes the number invalid, as it does for the standard conversions.
struct SignedText {
    bool negative = false;
    std::string_view digits;
};

SignedText split_sign(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && is_space(text[i]))
        ++i;
    SignedText result;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        result.negative = text[i] == '-';
        ++i;
    }
    result.digits = text.substr(i);
    if (!result.digits.empty() && (result.digits[0] == '+' || result.digits[0] == '-'))
        result.digits = std::string_view(); // "+-1" holds no number
    return result;
}

bool has_hex_prefix(std::string_view digits)
{
    return digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')
        && (std::isxdigit(static_cast<unsigned char>(digits[2])) || digits[2] == '.');
}

// Reads a floating-point number of type T as strtof/strtod do, hexadecimal
// form included, without the locale.
template <typename T> T parse_floating(std::string_view text, const char* name)
{
    const SignedText part = split_sign(text);
    const bool hex = has_hex_prefix(part.digits);
    const std::string_view digits = hex ? part.digits.substr(2) : part.digits;
    T value {};
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
        hex ? std::chars_format::hex : std::chars_format::general);
    (void)end;
    if (error == std::errc::invalid_argument)
        throw std::invalid_argument(name);
    if (error == std::errc::result_out_of_range)
        throw std::out_of_range(name);
    return part.negative ? -value : value;
}

} // namespace

float text_to_float(std::string_view text)
{
    return parse_floating<float>(text, "stof");
}

uint32_t text_to_u32(std::string_view text)
{
    // Every integer of up to 53 bits is exact in a double, the unsigned
    // 32-bit ones with room to spare.
    const double value = std::trunc(parse_floating<double>(text, "stof"));
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!(value >= -limit && value < limit))
        throw std::out_of_range("stof");
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

int text_to_int(std::string_view text)
{
    const SignedText part = split_sign(text);
    // Parsed as a magnitude so that the most negative int is in range.
    unsigned long long magnitude = 0;
    const auto [end, error]
        = std::from_chars(part.digits.data(), part.digits.data() + part.digits.size(), magnitude);
    (void)end;
    if (error == std::errc::invalid_argument)
        throw std::invalid_argument("stoi");
    const unsigned long long limit = part.negative ? 2147483648ULL : 2147483647ULL;
    if (error == std::errc::result_out_of_range || magnitude > limit)
        throw std::out_of_range("stoi");
    return part.negative ? static_cast<int>(-static_cast<long long>(magnitude)) : static_cast<int>(magnitude);
}
