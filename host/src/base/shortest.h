// The shortest digits of a float or double that read back as the same value, found with integers.
#pragma once

#include <cstdint>

namespace vthost {

// The digits and power of ten of the shortest decimal that reads back as value (finite, positive,
// below 2^24 for a float and 2^53 for a double, and not much below 1e-20 or 1e-5: the range of a
// model's placements, rotations, colours and parameters), the one nearest the value among them,
// ties to the even one: what std::to_chars chooses. False for any other value, which takes the
// general path.
bool ShortestDigits(float value, uint64_t* digits, int* exponent);
bool ShortestDigits(double value, uint64_t* digits, int* exponent);

}  // namespace vthost
