#include "core/network/PrintServerWrite.h"

#include "core/port/Job.h"

#include <vector>

namespace pemberlux {

namespace {

using namespace std::chrono_literals;

PsWriteStatus OfWrite(PsWriteResult result) {
    if (result == PsWriteResult::Acknowledged) return PsWriteStatus::Done;
    return result == PsWriteResult::NotRead ? PsWriteStatus::NotRead : PsWriteStatus::Failed;
}

PsWriteStatus OfApply(PsApplyResult result) {
    if (result == PsApplyResult::Acknowledged) return PsWriteStatus::Done;
    return result == PsApplyResult::NotRead ? PsWriteStatus::NotRead : PsWriteStatus::Failed;
}

// Block `command`, then the apply; the first failure is the result.
PsWriteStatus WriteAndApply(PrintServerChannel& channel, std::uint8_t command, const DiscoveryRecord& target,
                            const std::stop_token& stop) {
    PsWriteStatus status = OfWrite(channel.WriteBlock(command, stop));
    if (status == PsWriteStatus::Done) status = OfApply(channel.Apply(target, stop));
    return stop.stop_requested() ? PsWriteStatus::Stopped : status;
}

bool WaitChannelIdle(PrintServerChannel& channel, const std::stop_token& stop) {
    while (!channel.WaitIdle(100ms))
        if (stop.stop_requested()) return false;
    return !stop.stop_requested();
}

} // namespace

PsWriteOutcome WriteConfiguration(PrintServerChannel& channel, const DiscoveryRecord& target,
                                  const PsWriteTiming& timing, std::stop_token stop) {
    PsWriteOutcome outcome;
    const std::uint8_t blocks[2] = {PS_CMD_WRITE_A, PS_CMD_WRITE_B};
    const std::chrono::milliseconds waits[2] = {timing.afterFirstApply, timing.afterSecondApply};
    bool written[2] = {};
    bool applied[2] = {};
    for (int i = 0; i < 2; ++i) {
        const PsWriteStatus write = OfWrite(channel.WriteBlock(blocks[i], stop));
        // Without a configuration read nothing goes out, this step or any later one.
        const PsWriteStatus apply = write == PsWriteStatus::NotRead ? write : OfApply(channel.Apply(target, stop));
        if (stop.stop_requested()) {
            outcome.status = PsWriteStatus::Stopped;
            return outcome;
        }
        if (write == PsWriteStatus::NotRead || apply == PsWriteStatus::NotRead) {
            outcome.status = PsWriteStatus::NotRead;
            return outcome;
        }
        written[i] = write == PsWriteStatus::Done;
        applied[i] = apply == PsWriteStatus::Done;
        if (!written[i] || !applied[i]) outcome.status = PsWriteStatus::Failed;
        if (!SleepFor(stop, waits[i])) {
            outcome.status = PsWriteStatus::Stopped;
            return outcome;
        }
    }
    // The second apply puts into effect all the print server holds, block A included.
    outcome.addressTaken = written[0] && (applied[0] || applied[1]);
    outcome.portTaken = written[1] && applied[1];
    return outcome;
}

PsDhcpOutcome FollowDhcp(PrintServerChannel& channel, const DiscoveryRecord& target, const ConfigImage& saved,
                         const PsWriteTiming& timing, std::stop_token stop) {
    PsDhcpOutcome outcome;
    const auto stopped = [&] {
        outcome.stopped = true;
        return outcome;
    };
    if (!WaitChannelIdle(channel, stop)) return stopped();
    if (channel.Search() != PsSearchResult::Started) return outcome;
    if (!SleepFor(stop, timing.afterDhcpSearch)) return stopped();

    // Every answer of the search, until it is over.
    std::vector<DiscoveryRecord> answers;
    for (;;) {
        DiscoveryRecord record;
        while (channel.PopAnswer(record))
            answers.push_back(record);
        if (channel.IsIdle()) {
            while (channel.PopAnswer(record))
                answers.push_back(record);
            break;
        }
        if (stop.stop_requested()) return stopped();
        channel.WaitAnswerOrIdle(100ms);
    }
    const MacAddress mac = target.Mac();
    for (const DiscoveryRecord& answer : answers) {
        if (answer.Mac() == mac) {
            outcome.found = true;
            outcome.record = answer;
            break;
        }
    }
    if (!outcome.found) return outcome;

    channel.ReadConfig(outcome.record, stop);
    if (!SleepFor(stop, timing.afterDhcpRead)) return stopped();
    if (outcome.record.Ip() == Ipv4Octets{}) {
        // No DHCP server gave it an address: back to the configuration it had.
        outcome.restoreNeeded = true;
        channel.Image().blockA = saved.blockA;
        outcome.restore = WriteAndApply(channel, PS_CMD_WRITE_A, outcome.record, stop);
        if (outcome.restore == PsWriteStatus::Stopped) return stopped();
        if (!SleepFor(stop, timing.afterRestore)) return stopped();
    }
    return outcome;
}

} // namespace pemberlux
