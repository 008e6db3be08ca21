// The CRC-32 of zip archives (crc32.cpp).
#pragma once

#include <cstdint>
#include <string_view>

namespace vthost {

// The CRC-32 of the bytes (polynomial 0x04C11DB7, reflected, starting from and ended by all ones).
uint32_t Crc32(std::string_view bytes);

}  // namespace vthost
