#pragma once

#include "core/mms/ber.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace sw::test {

// Exchanges captured with an independent MMS server, kept as text in the shared folder beside the
// project: "C: " lines hold the client's TPKTs in hex, "S: " lines the server's answers, "# ---" starts
// the next association.
inline std::filesystem::path peerTranscriptFolder() {
    return std::filesystem::path(SW_SHARED_DIR) / "mms-peer";
}

inline mms::Bytes fromHex(std::string_view text) {
    mms::Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(std::string(text.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

struct PeerExchange {
    mms::Bytes request; // empty for an answer nothing asked for
    mms::Bytes answer;
};

// The exchanges of each association of a transcript, in order.
inline std::vector<std::vector<PeerExchange>> peerExchanges(const std::string& file) {
    std::ifstream in(peerTranscriptFolder() / file);
    EXPECT_TRUE(in) << file;
    std::vector<std::vector<PeerExchange>> associations(1);
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("# ---")) {
            associations.emplace_back();
        } else if (line.starts_with("C: ")) {
            associations.back().push_back({fromHex(std::string_view(line).substr(3)), {}});
        } else if (line.starts_with("S: ")) {
            if (associations.back().empty() || !associations.back().back().answer.empty()) {
                associations.back().push_back({});
            }
            associations.back().back().answer = fromHex(std::string_view(line).substr(3));
        }
    }
    return associations;
}

} // namespace sw::test
