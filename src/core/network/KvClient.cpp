#include "core/network/KvClient.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace pemberlux {

namespace {

using namespace std::chrono_literals;

// How long a query waits for the exchange before it (the search's receiver may still be ending).
constexpr std::chrono::seconds kIdleWait{5};

} // namespace

KvSetValues KvSetValuesOf(const KvConfigValues& answer, const KvChanges& changes) {
    KvSetValues v;
    v.deviceName = answer.deviceName;
    v.firmwareVersion = answer.firmwareVersion;
    v.serialNumber = answer.serialNumber;
    v.mac = answer.mac;
    v.currentIp = answer.currentIp;
    v.dhcp = changes.dhcp.value_or(std::max(answer.dhcp, 0));
    v.ip = changes.ip.value_or(answer.ip);
    v.mask = changes.mask.value_or(answer.mask);
    v.gateway = changes.gateway.value_or(answer.gateway);
    v.printPort = changes.printPort.value_or(KvFieldInt(answer.printPort));
    v.printTimeout = changes.printTimeout.value_or(KvFieldInt(answer.printTimeout));
    return v;
}

std::optional<StringId> KvStartMessage(KvStart start) {
    switch (start) {
    case KvStart::Busy:
        return StringId::NetworkSearchBusy;
    case KvStart::SendFailed:
        return StringId::SendFailed;
    default:
        return std::nullopt;
    }
}

std::optional<KvConfigValues> KvClient::AnswerOf(std::string_view mac) const {
    const ConfigFieldTable fields = ReceivedFields();
    if (mac.empty() || !IsReplyOf(fields, mac)) return std::nullopt;
    return ReadKvConfig(fields);
}

KvStart KvClient::StartSet(std::string_view mac, std::string_view serial, const KvSetValues& values) {
    ConfigFieldTable fields{};
    FillOutgoingFields(values, fields);
    SetOutgoingFields(fields);
    return StartSet(mac, serial);
}

bool KvClient::Serve(const std::function<bool(const KvPollResult&)>& done,
                     std::chrono::steady_clock::time_point deadline, const std::stop_token& stop) {
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{ReceiveSocket(), POLLIN, 0};
        if (fd.fd >= 0 && ::poll(&fd, 1, 20) > 0 && (fd.revents & POLLIN)) OnReadable();
        if (fd.fd < 0) std::this_thread::sleep_for(20ms);
        if (done(Poll())) return true;
    }
    return false;
}

KvQueryOutcome KvClient::Query(std::string_view mac, std::string_view serial,
                               std::chrono::steady_clock::time_point deadline, const std::stop_token& stop) {
    KvQueryOutcome outcome;
    if (Busy()) Serve([&](const KvPollResult&) { return !Busy(); }, std::chrono::steady_clock::now() + kIdleWait, stop);
    outcome.started = StartQuery(mac, serial);
    if (outcome.started != KvStart::Started) return outcome;
    Serve(
        [&](const KvPollResult& r) {
            if (r.queryAnswered && r.queryComplete) outcome.complete = true;
            return outcome.complete || r.exchangeEnded;
        },
        deadline, stop);
    if (outcome.complete) outcome.values = ReadKvConfig(ReceivedFields());
    return outcome;
}

KvSetOutcome KvClient::ConfirmServing(const std::stop_token& stop) {
    KvSetOutcome outcome;
    std::atomic<bool> done{false};
    std::thread confirm([&] {
        outcome = RunSetConfirmation(stop);
        done = true;
    });
    Serve([&](const KvPollResult&) { return done.load(); }, std::chrono::steady_clock::time_point::max(), stop);
    confirm.join();
    return outcome;
}

} // namespace pemberlux
