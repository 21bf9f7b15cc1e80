#pragma once

#include <cstdint>
#include <string>

namespace tw::cli {

// A byte count for people: "512 B", "1.5 KiB", "3.2 MiB", "4.10 GiB".
std::string HumanSize(std::uint64_t bytes);

} // namespace tw::cli
