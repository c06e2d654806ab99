// The baseline of the live check's process benchmark: the least a program does to read N variables from
// an MMS server on 127.0.0.1 with the client core (connect, batched reads of all of them, conclude), and
// with "--nothing" the least a program of ours does at all. Exit 0 when every variable had a value.
//
//   live_minimal_client PORT N
//   live_minimal_client --nothing

#include "core/mms/mms_client.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--nothing") == 0) {
        return 0;
    }
    if (argc != 3) {
        return 2;
    }
    const auto port = static_cast<std::uint16_t>(std::strtoul(argv[1], nullptr, 10));
    const std::size_t count = std::strtoul(argv[2], nullptr, 10);
    // The names of the benchmark's server: a hundred indications per logical node.
    std::vector<sw::mms::ObjectName> names;
    names.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        names.push_back({"IED1LD0", "GGIO" + std::to_string(i / 100 + 1) + "$ST$Ind" +
                                        std::to_string(i % 100 + 1) + "$stVal"});
    }
    try {
        sw::mms::MmsClient client;
        client.connect("127.0.0.1", port, sw::mms::Timeouts{});
        const std::vector<sw::mms::AccessResult> results = client.readMany(names);
        client.conclude();
        std::size_t values = 0;
        for (const sw::mms::AccessResult& result : results) {
            values += result.value ? 1u : 0u;
        }
        return values == count ? 0 : 1;
    } catch (const std::exception&) {
        return 1;
    }
}
