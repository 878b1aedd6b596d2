// How falwick-info shows file contents, values and what the dialog makes of them in its
// findings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// `text` with tabs, CR, LF, backslashes, other control characters and bytes outside
// ASCII written as escapes (\t, \r, \n, \\, \xNN), for showing file contents.
std::string EscapeBytes(std::string_view text);

// `text` in single quotes and escaped, cut to about `limit` characters ("...").
std::string Quote(std::string_view text, size_t limit = 40);

// The shortest decimal form that reads back as `value` ("3.5", "3", "0.1").
std::string FormatNumber(double value);

// "0x12", "0x800B0100": `value` in hexadecimal, at least `digits` digits.
std::string Hex(uint32_t value, int digits = 2);

// "line 4", or "lines 4-6".
std::string Lines(int first, int last);

// `text` without the white space that the number conversions skip, at both ends.
std::string_view TrimWhiteSpace(std::string_view text);

// The first `length` characters of `text` (all of them by default), ASCII letters in
// upper case.
std::string Upper(std::string_view text, size_t length = std::string_view::npos);

// The first "&" that the dialog's text control turns into an underline ("&&" shows one
// "&"), or npos.
size_t FindUnderliningAmpersand(std::string_view text);

// What the dialog shows around the "&" at `at`: "'Q&A' shows as 'QA' with 'A' underlined".
std::string DescribeAmpersand(std::string_view text, size_t at);
