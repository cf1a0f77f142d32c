#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ledgerlift::testing_reference {

// A plain reader of the conversion rules, written for clarity rather than
// speed: it holds the whole input, splits it into lines and each line into
// segments, and follows the transactions in the words the README uses. The
// tests check the fast converter against it, at every block size.
// Its registers are UTF-8 (`utf8`), or keep the bytes as the statement
// holds them.
std::string ReferenceConvert(std::string_view input, std::uint64_t* failed_count,
                             bool utf8 = true);

}  // namespace ledgerlift::testing_reference
