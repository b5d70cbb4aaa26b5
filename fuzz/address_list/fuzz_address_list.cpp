// Feeds arbitrary bytes to the address-list conversion: it must not crash or hang, and its output must
// stay within a small multiple of the input (the worst case is a one-letter non-ASCII domain label,
// which becomes its seven-character ASCII form).
#include "mailimport/address_list.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<std::string> converted = zbpv::ConvertAddressList(text);
    if (converted && converted->size() > 5 * size + 16) {
        std::abort();
    }
    std::size_t total = 0;
    for (const zbpv::MailAddressEntry& entry : zbpv::ParseAddressList(text)) {
        total += entry.name.size() + entry.address.size();
        // Formatting one entry must not fail either.
        (void)zbpv::FormatAddressEntry(entry);
    }
    if (total > 2 * size + 16) {
        std::abort();
    }
    return 0;
}
