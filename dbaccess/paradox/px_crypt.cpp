#include "dbaccess/paradox/px_crypt.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace zbpv {

namespace {

std::mutex g_mu;
std::vector<uint32_t> g_checks;

} // namespace

uint32_t PxPasswordCheck(std::string_view password) {
    uint32_t h = 2166136261u;
    for (unsigned char c : password) {
        h ^= c;
        h *= 16777619u;
    }
    return h ? h : 1u;
}

void PxCryptBlock(uint8_t* data, size_t n, uint32_t check, uint32_t blockNumber) {
    uint64_t s =
        (static_cast<uint64_t>(check) << 32) ^ (blockNumber * 0x9E3779B97F4A7C15ull) ^ 0x2545F4914F6CDD1Dull;
    if (s == 0)
        s = 1;
    size_t i = 0;
    while (i < n) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        for (int k = 0; k < 8 && i < n; ++k, ++i)
            data[i] ^= static_cast<uint8_t>(s >> (8 * k));
    }
}

void PxAddPassword(std::string_view password) {
    const uint32_t c = PxPasswordCheck(password);
    std::lock_guard lock(g_mu);
    if (std::find(g_checks.begin(), g_checks.end(), c) == g_checks.end())
        g_checks.push_back(c);
}

void PxRemovePassword(std::string_view password) {
    const uint32_t c = PxPasswordCheck(password);
    std::lock_guard lock(g_mu);
    g_checks.erase(std::remove(g_checks.begin(), g_checks.end(), c), g_checks.end());
}

void PxClearPasswords() {
    std::lock_guard lock(g_mu);
    g_checks.clear();
}

bool PxHasPasswordFor(uint32_t check) {
    std::lock_guard lock(g_mu);
    return std::find(g_checks.begin(), g_checks.end(), check) != g_checks.end();
}

} // namespace zbpv
