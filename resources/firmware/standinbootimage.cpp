// Writes a stand-in for one of the dongle maker's boot images: the size and
// the 48-byte trailer the downloader expects, filled with text that says what
// it is. The real images are not ours to ship; a build can take them from a
// folder instead (VANTORA_BOOT_IMAGE_DIR).
//
//   standinbootimage <output> <file size> <image checksum> <load address>
//                    <second address> <word 20> <word 24> <name>
//
// Numbers may be decimal or 0x-prefixed. The filler is chosen so that its
// byte sum equals the checksum the trailer carries.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kTrailerSize = 48;
constexpr unsigned kLowest = 0x20;  // space
constexpr unsigned kHighest = 0x7E; // '~'
// Lower-case text, so that its average byte is close to what the maker's checksums imply.
const char kFiller[] = "vantora_stand-in_boot_image:not_firmware,starts_nothing_on_a_dongle|";

bool parseNumber(const char *text, std::uint64_t *value)
{
    char *end = nullptr;
    *value = std::strtoull(text, &end, 0);
    return end && *end == '\0' && end != text;
}

void putU16(std::vector<unsigned char> &bytes, std::size_t at, std::uint32_t value)
{
    bytes[at] = value & 0xFF;
    bytes[at + 1] = (value >> 8) & 0xFF;
}

void putU32(std::vector<unsigned char> &bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = (value >> (8 * i)) & 0xFF;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 9) {
        std::fprintf(stderr, "usage: %s <output> <size> <checksum> <load> <second> <word20> <word24> <name>\n",
                     argv[0]);
        return 2;
    }
    std::uint64_t size = 0, checksum = 0, load = 0, second = 0, word20 = 0, word24 = 0;
    if (!parseNumber(argv[2], &size) || !parseNumber(argv[3], &checksum) || !parseNumber(argv[4], &load)
        || !parseNumber(argv[5], &second) || !parseNumber(argv[6], &word20) || !parseNumber(argv[7], &word24)) {
        std::fprintf(stderr, "standinbootimage: a number argument is not a number\n");
        return 2;
    }
    const std::string name = argv[8];
    if (size <= kTrailerSize || name.size() > 12) {
        std::fprintf(stderr, "standinbootimage: size must exceed 48 bytes and the name hold at most 12 characters\n");
        return 2;
    }

    const std::size_t body = std::size_t(size - kTrailerSize);
    std::vector<unsigned char> bytes(std::size_t(size), 0);
    // Text first, then a tail of printable bytes that brings the sum to the checksum.
    const std::size_t fillerLength = std::strlen(kFiller);
    for (std::size_t i = 0; i < body; ++i)
        bytes[i] = static_cast<unsigned char>(kFiller[i % fillerLength]);
    // The shortest tail (from 4 KiB, doubling) that can still reach the sum.
    std::size_t tail = std::min<std::size_t>(body, 4096);
    std::uint64_t sum = 0;
    for (;;) {
        sum = 0;
        for (std::size_t i = 0; i < body - tail; ++i)
            sum += bytes[i];
        if (checksum >= sum + tail * kLowest && checksum <= sum + tail * kHighest)
            break;
        if (tail == body) {
            std::fprintf(stderr, "standinbootimage: checksum 0x%llx cannot be reached with printable filler\n",
                         static_cast<unsigned long long>(checksum));
            return 1;
        }
        tail = std::min(body, tail * 2);
    }
    std::uint64_t remaining = checksum - sum;
    // An even share of what is left stays printable at every step.
    for (std::size_t i = body - tail; i < body; ++i) {
        const std::uint64_t byte = remaining / (body - i);
        bytes[i] = static_cast<unsigned char>(byte);
        remaining -= byte;
    }
    if (remaining != 0) {
        std::fprintf(stderr, "standinbootimage: filler sum missed the checksum by %llu\n",
                     static_cast<unsigned long long>(remaining));
        return 1;
    }

    const std::size_t t = body;
    bytes[t] = 'Q';
    bytes[t + 1] = 'K';
    putU16(bytes, t + 2, 1);
    putU32(bytes, t + 4, std::uint32_t(body));
    putU32(bytes, t + 8, std::uint32_t(checksum));
    putU32(bytes, t + 12, std::uint32_t(load));
    putU32(bytes, t + 16, std::uint32_t(second));
    putU32(bytes, t + 20, std::uint32_t(word20));
    putU32(bytes, t + 24, std::uint32_t(word24));
    std::memcpy(&bytes[t + 28], name.data(), name.size());

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "standinbootimage: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
