#pragma once

#include "core/common/config_error.h"
#include "core/update/echo_service.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sw::test {

// A tick counter that moves only when told to or when someone sleeps on it.
class FakeTickClock : public sw::TickClock {
public:
    explicit FakeTickClock(std::uint32_t start = 1000) : now(start) {}
    std::uint32_t ticks() override { return now; }
    void sleep(std::chrono::milliseconds duration) override { advance(duration); }
    void advance(std::chrono::milliseconds duration) { now += static_cast<std::uint32_t>(duration.count()); }

    std::uint32_t now;
};

// Answers echo requests from a script, spending time on the fake clock as a real device would: an
// answer after `answerDelay`, silence after the whole time-out. The last step repeats for ever.
class FakeEchoService : public sw::EchoService {
public:
    enum class Step { Answer, Silent, Fail };

    FakeEchoService(FakeTickClock& clock, std::vector<Step> script)
        : m_clock(clock), m_script(std::move(script)) {}

    std::size_t echo(const std::string& host, std::string_view data,
                     std::chrono::milliseconds timeout) override {
        hosts.push_back(host);
        payloads.emplace_back(data);
        const Step step = m_script[std::min(m_next++, m_script.size() - 1)];
        switch (step) {
        case Step::Answer:
            m_clock.advance(answerDelay);
            return 8 + data.size();
        case Step::Silent:
            m_clock.advance(timeout);
            return 0;
        case Step::Fail:
            break;
        }
        throw sw::ConfigError("\"" + host + "\" is not an IPv4 address of four numbers from 0 to 255.");
    }

    std::chrono::milliseconds answerDelay{1};
    std::vector<std::string> hosts;
    std::vector<std::string> payloads;

private:
    FakeTickClock& m_clock;
    std::vector<Step> m_script;
    std::size_t m_next = 0;
};

} // namespace sw::test
