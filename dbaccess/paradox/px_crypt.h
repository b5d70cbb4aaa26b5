#pragma once
// Protection of password-protected tables. The header keeps a 32-bit check value of the password; the
// data blocks of the .DB file and the blob blocks of the .MB file are scrambled with a key stream that
// depends on that value and on the block's number, so a block can be read on its own. The scheme is
// symmetric: the same call scrambles and unscrambles.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zbpv {

// Never 0 (0 in the header means "not protected"). Letter case matters.
uint32_t PxPasswordCheck(std::string_view password);
void PxCryptBlock(uint8_t* data, size_t n, uint32_t check, uint32_t blockNumber);

// The session's password list: a protected table opens when one of these matches its check value.
void PxAddPassword(std::string_view password);
void PxRemovePassword(std::string_view password);
void PxClearPasswords();
bool PxHasPasswordFor(uint32_t check);

} // namespace zbpv
