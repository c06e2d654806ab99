#include "core/image/image_decoder.h"

#include "core/access/access_schema.h"
#include "core/common/escaped_text.h"

#include "core/common/atomic_file.h"
#include "core/common/path_text.h"
#include "core/image/image_text.h"
#include "core/image/little_endian.h"
#include "core/image/parameter_block.h"
#include "core/image/variable_image.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>

namespace sw::image {

namespace {

std::string hex(std::uint64_t value, int digits = 0) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string number(float value) {
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : "?";
}

std::string dotted(const std::uint8_t* at) {
    return std::to_string(at[0]) + "." + std::to_string(at[1]) + "." + std::to_string(at[2]) + "." +
           std::to_string(at[3]);
}

// The offsets of the parameter block that the project sets; every other byte is fixed.
bool isParameterField(std::size_t offset) {
    for (const ParameterField& field : kParameterFields) {
        if (offset >= field.offset && offset < field.offset + field.size) {
            return true;
        }
    }
    return false;
}

} // namespace

ImageReport decodeParameterImage(std::span<const std::uint8_t> bytes) {
    ImageReport report;
    report.kind = ImageKind::Parameter;
    std::ostringstream dump;
    dump << "parameter block (bank1.bin), " << bytes.size() << " bytes\n";
    if (bytes.size() != kParameterBlockSize) {
        report.problems.push_back("The parameter block is " + std::to_string(bytes.size()) +
                                  " bytes long instead of " + std::to_string(kParameterBlockSize) + ".");
        if (bytes.size() < kParameterBlockSize) {
            report.dump = dump.str();
            return report;
        }
    }
    const std::uint8_t* b = bytes.data();
    auto problem = [&report](std::string text) { report.problems.push_back(std::move(text)); };

    const bool gateway = getU32(b + kGatewayOffset) != 0xFFFFFFFF;
    dump << "  IP address      " << dotted(b + kIpAddressOffset) << "\n"
         << "  subnet mask     " << dotted(b + kSubnetMaskOffset) << "\n"
         << "  gateway         " << (gateway ? dotted(b + kGatewayOffset) : std::string("none")) << "\n"
         << "  serial line     "
         << (b[kSerialTypeOffset] == 1   ? "RS232"
             : b[kSerialTypeOffset] == 0 ? "RS485"
                                         : "?")
         << " (" << int(b[kSerialTypeOffset]) << ")\n"
         << "  baud rate       " << getU32(b + kBaudRateOffset) << "\n"
         << "  parity          " << int(b[kParityOffset]) << "\n"
         << "  stop bits       " << int(b[kStopBitsOffset]) << "\n"
         << "  data bits       " << int(b[kDataBitsOffset]) << "\n"
         << "  image address   " << hex(getU32(b + kImageAddressOffset)) << "\n";

    const std::uint32_t stored = getU32(b + kChecksumOffset);
    const std::uint32_t computed = parameterChecksum(b);
    dump << "  checksum        " << stored << " (computed " << computed << ")\n";
    if (stored != computed) {
        problem("The checksum at " + hex(kChecksumOffset, 3) + " is " + std::to_string(stored) +
                " but the bytes before it sum to " + std::to_string(computed) + ".");
    }
    if (getU32(b + kBaudRateOffset) != getU32(b + kBaudRateCopyOffset)) {
        problem("The two copies of the baud rate differ (" + std::to_string(getU32(b + kBaudRateOffset)) +
                " at " + hex(kBaudRateOffset, 3) + ", " + std::to_string(getU32(b + kBaudRateCopyOffset)) +
                " at " + hex(kBaudRateCopyOffset, 3) + ").");
    }
    const std::pair<std::size_t, std::size_t> copies[] = {{kParityOffset, kParityCopyOffset},
                                                          {kStopBitsOffset, kStopBitsCopyOffset},
                                                          {kDataBitsOffset, kDataBitsCopyOffset}};
    const char* names[] = {"parity", "stop bits", "data bits"};
    for (std::size_t i = 0; i < std::size(copies); ++i) {
        if (b[copies[i].first] != b[copies[i].second]) {
            problem(std::string("The two copies of the ") + names[i] + " differ (" +
                    std::to_string(b[copies[i].first]) + " at " + hex(copies[i].first) + ", " +
                    std::to_string(b[copies[i].second]) + " at " + hex(copies[i].second) + ").");
        }
    }
    if (b[kDataBitsOffset] != kDataBits) {
        problem("The data bits at " + hex(kDataBitsOffset, 3) + " are " + std::to_string(b[kDataBitsOffset]) +
                " instead of " + std::to_string(kDataBits) + ".");
    }
    if (getU32(b + kImageAddressOffset) != Image_Base) {
        problem("The image address at " + hex(kImageAddressOffset, 3) + " is " +
                hex(getU32(b + kImageAddressOffset)) + " instead of " + hex(Image_Base) +
                ", where bank2.bin is sent.");
    }
    const ParameterBytes& defaults = defaultParameterBlock();
    std::size_t differing = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < kParameterBlockSize; ++i) {
        if (!isParameterField(i) && b[i] != defaults[i]) {
            if (differing++ == 0) {
                first = i;
            }
        }
    }
    if (differing > 0) {
        problem(std::to_string(differing) +
                " reserved byte(s) differ from their fixed values, the first at " + hex(first, 3) + " (" +
                std::to_string(b[first]) + " instead of " + std::to_string(defaults[first]) + ").");
    }
    report.dump = dump.str();
    return report;
}

namespace {

// Walks the variable image once, checking as it goes; kept apart so each check can give up early
// without cascading into meaningless follow-up reports.
class VariableImageChecker {
public:
    VariableImageChecker(std::span<const std::uint8_t> bytes, std::uint32_t base, ImageReport& report)
        : m_b(bytes), m_base(base), m_report(report) {}

    void run();
    std::string dump() const { return m_dump.str(); }

private:
    struct StringRef {
        std::string label;
        std::uint32_t address;
    };

    void problem(std::string text) { m_report.problems.push_back(std::move(text)); }

    // A value the access list's check never lets through: a position off the data array, a start bit
    // beyond a byte, a timer period outside its range.
    void outOfRange(const std::string& name, const std::uint8_t* position, std::uint8_t startBit,
                    std::optional<std::uint32_t> timer) {
        if (getU16(position) > access::kLastPosition) {
            problem("The position of " + name + " is " + std::to_string(getU16(position)) +
                    ", outside 0 to " + std::to_string(access::kLastPosition) + ".");
        }
        if (startBit > 7) {
            problem("The start bit of " + name + " is " + std::to_string(startBit) + ", outside 0 to 7.");
        }
        if (timer && (*timer == 0 || *timer > access::kLastTime)) {
            problem("The timer period of " + name + " is " + std::to_string(*timer) + " ms, outside 1 to " +
                    std::to_string(access::kLastTime) + ".");
        }
    }
    std::string address(std::uint32_t value) const { return hex(value); }
    // The text at `addr` for the dump, after checking that it starts a string of the string area.
    std::string text(const std::string& label, std::uint32_t addr);
    void markStringStarts();
    void checkStringOrder();

    std::span<const std::uint8_t> m_b;
    std::uint32_t m_base;
    ImageReport& m_report;
    std::ostringstream m_dump;
    std::uint64_t m_stringsBegin = 0;
    std::vector<bool> m_isStart;
    std::vector<StringRef> m_strings;
    bool m_badAddress = false;
};

void VariableImageChecker::markStringStarts() {
    m_isStart.assign(m_b.size(), false);
    if (m_stringsBegin < m_b.size()) {
        m_isStart[m_stringsBegin] = true;
    }
    for (std::size_t i = m_stringsBegin; i + 1 < m_b.size(); ++i) {
        if (m_b[i] == 0) {
            m_isStart[i + 1] = true;
        }
    }
    if (m_stringsBegin < m_b.size() && m_b.back() != 0) {
        problem("The last string of the image has no terminating zero byte.");
    }
}

std::string VariableImageChecker::text(const std::string& label, std::uint32_t addr) {
    m_strings.push_back({label, addr});
    const std::uint64_t offset = std::uint64_t{addr} - m_base;
    if (addr < m_base || offset < m_stringsBegin || offset >= m_b.size()) {
        m_badAddress = true;
        problem("The " + label + " address " + address(addr) + " points outside the string area (" +
                address(static_cast<std::uint32_t>(m_base + m_stringsBegin)) + " to " +
                address(static_cast<std::uint32_t>(m_base + m_b.size() - 1)) + ").");
        return "<bad address " + address(addr) + ">";
    }
    if (!m_isStart[offset]) {
        m_badAddress = true;
        problem("The " + label + " address " + address(addr) + " does not point at the start of a string.");
        return "<bad address " + address(addr) + ">";
    }
    std::size_t end = offset;
    while (end < m_b.size() && m_b[end] != 0) {
        ++end;
    }
    const std::string_view raw(reinterpret_cast<const char*>(m_b.data()) + offset, end - offset);
    // The dump is read on a terminal: a string of the image cannot break its line or send a command.
    std::string shown = "\"";
    appendEscaped(shown, imageBytesToUtf8(raw), '"');
    return shown + "\" @" + address(addr);
}

void VariableImageChecker::checkStringOrder() {
    std::uint64_t expected = m_stringsBegin;
    for (const StringRef& s : m_strings) {
        const std::uint64_t offset = s.address - m_base;
        if (offset != expected) {
            problem("The strings are not laid out in table order: the " + s.label + " is at " +
                    address(s.address) + " where " + address(static_cast<std::uint32_t>(m_base + expected)) +
                    " was expected.");
            return;
        }
        while (expected < m_b.size() && m_b[expected] != 0) {
            ++expected;
        }
        ++expected;
    }
    if (expected < m_b.size()) {
        problem(std::to_string(m_b.size() - expected) + " byte(s) after the last string belong to no field.");
    }
}

void VariableImageChecker::run() {
    const std::uint8_t* b = m_b.data();
    const std::uint64_t size = m_b.size();
    m_dump << "variable image (bank2.bin), " << size << " bytes, built for " << address(m_base) << "\n";
    if (size < kHeaderSize) {
        problem("The variable image is " + std::to_string(size) + " bytes long, shorter than its " +
                std::to_string(kHeaderSize) + "-byte header.");
        return;
    }
    if (size > kVariableImageLimit) {
        problem("The variable image is " + std::to_string(size) + " bytes long, more than the device's " +
                std::to_string(kVariableImageLimit) + ".");
    }
    const auto nVariable = static_cast<std::int32_t>(getU32(b));
    const auto nDataSet = static_cast<std::int32_t>(getU32(b + 4));
    const std::uint32_t variableAdd = getU32(b + 16);
    const std::uint32_t dataSetAdd = getU32(b + 20);
    m_dump << "header: " << nVariable << " variable(s), " << nDataSet << " data set(s), VLAN "
           << static_cast<std::int32_t>(getU32(b + 8)) << ", application ID "
           << static_cast<std::int32_t>(getU32(b + 12)) << ", variables at " << address(variableAdd)
           << ", data sets at " << address(dataSetAdd) << "\n";
    if (nVariable < 0 || nDataSet < 0) {
        problem("The header holds a negative count (" + std::to_string(nVariable) + " variables, " +
                std::to_string(nDataSet) + " data sets).");
        return;
    }
    const std::uint64_t dataSetTable = kHeaderSize + kVariableEntrySize * std::uint64_t(nVariable);
    std::uint64_t memberTable = dataSetTable + kDataSetEntrySize * std::uint64_t(nDataSet);
    if (memberTable > size) {
        problem("The tables of " + std::to_string(nVariable) + " variables and " + std::to_string(nDataSet) +
                " data sets run past the end of the image.");
        return;
    }
    if (variableAdd != m_base + kHeaderSize) {
        problem("The variable table address is " + address(variableAdd) + " instead of " +
                address(static_cast<std::uint32_t>(m_base + kHeaderSize)) + ".");
    }
    if (dataSetAdd != m_base + dataSetTable) {
        problem("The data-set table address is " + address(dataSetAdd) + " instead of " +
                address(static_cast<std::uint32_t>(m_base + dataSetTable)) + ".");
    }
    // Member tables follow one another in data-set order.
    std::uint64_t membersEnd = memberTable;
    for (std::int32_t d = 0; d < nDataSet; ++d) {
        const std::uint8_t* e = b + dataSetTable + kDataSetEntrySize * std::uint64_t(d);
        const std::uint32_t listAdd = getU32(e + 24);
        if (listAdd != m_base + membersEnd) {
            problem("The member table address of data set " + std::to_string(d + 1) + " is " +
                    address(listAdd) + " instead of " +
                    address(static_cast<std::uint32_t>(m_base + membersEnd)) + ".");
        }
        membersEnd += kMemberEntrySize * std::uint64_t(e[0]);
    }
    if (membersEnd > size) {
        problem("The member tables run past the end of the image.");
        return;
    }
    m_stringsBegin = membersEnd;
    markStringStarts();

    auto flag = [this](bool bad, const std::string& what) {
        if (bad) {
            problem(what);
        }
    };
    for (std::int32_t i = 0; i < nVariable; ++i) {
        const std::uint8_t* e = b + kHeaderSize + kVariableEntrySize * std::uint64_t(i);
        const std::string name = "variable " + std::to_string(i + 1);
        const std::string fc = imageBytesToUtf8(std::string(reinterpret_cast<const char*>(e), e[1] ? 2 : 1));
        m_dump << name << ": fc " << fc << ", "
               << (e[2] == 0   ? "read"
                   : e[2] == 1 ? "write"
                               : "rw ?")
               << ", start bit " << int(e[3]) << ", options " << hex(e[4], 2) << ", conversion " << int(e[5])
               << ", position " << getU16(e + 8) << ", port " << getU16(e + 10) << ", time " << getU32(e + 12)
               << " ms, factor " << number(getF32(e + 16)) << "\n";
        m_dump << "    bType " << text(name + " bType", getU32(e + 20)) << "\n";
        m_dump << "    host " << text(name + " host name", getU32(e + 24)) << "\n";
        m_dump << "    reference " << text(name + " reference", getU32(e + 28)) << "\n";
        flag(e[2] > 1, "The read/write flag of " + name + " is " + std::to_string(e[2]) + ".");
        flag((e[4] & ~0x07) != 0,
             "The options of " + name + " are " + hex(e[4], 2) + ", beyond the three triggers.");
        flag(e[5] > 1, "The conversion of " + name + " is " + std::to_string(e[5]) + ".");
        flag(e[6] != 0 || e[7] != 0, "The spare bytes of " + name + " are not zero.");
        outOfRange(name, e + 8, e[3],
                   e[4] & 0x04 ? std::optional<std::uint32_t>(getU32(e + 12)) : std::nullopt);
    }
    std::uint64_t member = memberTable;
    std::vector<std::pair<std::int32_t, const std::uint8_t*>> memberEntries;
    for (std::int32_t d = 0; d < nDataSet; ++d) {
        const std::uint8_t* e = b + dataSetTable + kDataSetEntrySize * std::uint64_t(d);
        const std::string name = "data set " + std::to_string(d + 1);
        m_dump << name << ": " << int(e[0]) << " member(s) at " << address(getU32(e + 24)) << ", options "
               << hex(e[1], 2) << ", port " << getU16(e + 2) << ", GOOSE " << int(e[4]) << ", time "
               << getU32(e + 8) << " ms\n";
        m_dump << "    GOOSE name " << text(name + " GOOSE name", getU32(e + 12)) << "\n";
        m_dump << "    reference " << text(name + " reference", getU32(e + 16)) << "\n";
        m_dump << "    host " << text(name + " host name", getU32(e + 20)) << "\n";
        flag(e[1] != kDataSetOptions,
             "The options of " + name + " are " + hex(e[1], 2) + " instead of 0x04.");
        flag(e[4] > 1, "The GOOSE flag of " + name + " is " + std::to_string(e[4]) + ".");
        flag(e[5] != 0 || e[6] != 0 || e[7] != 0, "The spare bytes of " + name + " are not zero.");
        flag(getU32(e + 8) == 0 || getU32(e + 8) > access::kLastTime,
             "The time of " + name + " is " + std::to_string(getU32(e + 8)) + " ms, outside 1 to " +
                 std::to_string(access::kLastTime) + ".");
        for (int k = 0; k < e[0]; ++k) {
            memberEntries.emplace_back(d, b + member);
            member += kMemberEntrySize;
        }
    }
    std::int32_t lastSet = -1;
    int k = 0;
    for (const auto& [d, e] : memberEntries) {
        k = d == lastSet ? k + 1 : 1;
        lastSet = d;
        const std::string name = "member " + std::to_string(k) + " of data set " + std::to_string(d + 1);
        m_dump << name << ": position " << getU16(e) << ", start bit " << int(e[2]) << ", conversion "
               << int(e[3]) << ", factor " << number(getF32(e + 4)) << "\n";
        m_dump << "    bType " << text(name + " bType", getU32(e + 8)) << "\n";
        m_dump << "    reference " << text(name + " reference", getU32(e + 12)) << "\n";
        flag(e[3] > 1, "The conversion of " + name + " is " + std::to_string(e[3]) + ".");
        outOfRange(name, e, e[2], std::nullopt);
    }
    if (!m_badAddress) {
        checkStringOrder();
    }
}

} // namespace

ImageReport decodeVariableImage(std::span<const std::uint8_t> bytes, std::uint32_t imageBase) {
    ImageReport report;
    report.kind = ImageKind::Variable;
    VariableImageChecker checker(bytes, imageBase, report);
    checker.run();
    report.dump = checker.dump();
    return report;
}

std::vector<std::string> checkImagePair(std::span<const std::uint8_t> bank1,
                                        std::span<const std::uint8_t> bank2) {
    std::vector<std::string> problems;
    if (bank1.size() < kImageAddressOffset + 4 || bank2.size() < kHeaderSize) {
        return problems;
    }
    const std::uint32_t sentTo = getU32(bank1.data() + kImageAddressOffset);
    const std::uint32_t variableTable = getU32(bank2.data() + 16);
    if (variableTable != std::uint64_t{sentTo} + kHeaderSize) {
        problems.push_back(
            "The two images do not belong together: the parameter block sends the variable image to " +
            hex(sentTo) + ", but its variable table address " + hex(variableTable) +
            " is that of an image built for " + hex(static_cast<std::uint32_t>(variableTable - kHeaderSize)) +
            ".");
    }
    return problems;
}

ImageReport decodeImageFile(const std::filesystem::path& file) {
    const std::string bytes = readFileBytes(file, limits::kImageFile);
    const std::span<const std::uint8_t> image(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                              bytes.size());
    const std::string name = utf8Of(file.filename());
    if (name.rfind("bank1", 0) == 0) {
        return decodeParameterImage(image);
    }
    if (name.rfind("bank2", 0) == 0) {
        return decodeVariableImage(image);
    }
    return bytes.size() == kParameterBlockSize ? decodeParameterImage(image) : decodeVariableImage(image);
}

} // namespace sw::image
