#pragma once
// The number reader of every panel edit box. Up to n times: stop at the end
// of the text; skip spaces; take the longest run of '-', '.' and '0'..'9'
// (at most 99 of them) and convert it as a decimal number into the next
// output. An empty run gives 0 without moving on, so every later output is
// 0 as well; outputs after the end of the text are not written.
#include <cstddef>
#include <string_view>

// Returns how many outputs were written.
std::size_t ReadNumbers(std::u16string_view text, float* outputs, std::size_t n);
