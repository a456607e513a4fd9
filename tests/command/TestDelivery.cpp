// Every job that sends without reading an answer (the file and data sends, the
// one-shot send, the firmware transfer) calls its bytes sent only once the
// printer has them: over TCP against a port that talks first and one that
// never reads.
#include "Patterns.h"
#include "Records.h"
#include "Stalls.h"
#include "Transports.h"
#include "core/base/UiText.h"
#include "core/command/Firmware.h"
#include "core/command/SendJobs.h"
#include "core/port/SendToPrinter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using test::Pattern;
using test::UserRecord;

// One job run to its end: whether it reported success, and the percentages
// it showed on the way.
struct Outcome {
    bool ok = false;
    int failureString = 0; // the number of a failure's message
    std::vector<std::uint64_t> percents;
};

struct Job {
    const char* name;
    std::function<Outcome(const PortSettings&, const Bytes&, const JobLimits&)> run;
};

const Job JOBS[] = {
    {"file send",
     [](const PortSettings& s, const Bytes& data, const JobLimits& job) {
         Outcome o;
         PrinterPort port(s, {});
         const SendJobResult r =
             RunFileSend(port, data, {}, job, [&](const FileProgress& p) { o.percents.push_back(p.percent); });
         o.ok = r.status == SendJobResult::Done && r.sent == data.size();
         if (auto m = SendJobMessage(r, s.portKind, SendJobKind::File, {}, data.size()); m && !o.ok)
             o.failureString = static_cast<int>(m->stringId);
         return o;
     }},
    {"data send",
     [](const PortSettings& s, const Bytes& data, const JobLimits& job) {
         Outcome o;
         PrinterPort port(s, {});
         const SendJobResult r = RunDataSend(port, data, {}, job);
         o.ok = r.status == SendJobResult::Done;
         if (auto m = SendJobMessage(r, s.portKind, SendJobKind::Data, {}, data.size()))
             o.failureString = static_cast<int>(m->stringId);
         return o;
     }},
    {"one-shot send",
     [](const PortSettings& s, const Bytes& data, const JobLimits& job) {
         const SendResult r = SendToPrinter(s, {}, data, job);
         return Outcome{r.Ok(), r.message ? static_cast<int>(r.message->stringId) : 0, {}};
     }},
    {"firmware",
     [](const PortSettings& s, const Bytes& data, const JobLimits& job) {
         Outcome o;
         PrinterPort port(s, {});
         const FirmwareResult r = RunFirmwareTransfer(port, data, job, [&](const FirmwareProgress& p) {
             o.percents.push_back(static_cast<unsigned>(p.percent));
         });
         o.ok = r.status == FirmwareResult::Done && !r.unconfirmed && r.sent == data.size();
         if (auto m = FirmwareMessage(r, s.portKind, data.size()); m && !o.ok)
             o.failureString = static_cast<int>(m->stringId);
         return o;
     }},
};

PortSettings Tcp(std::uint16_t port) {
    PortSettings s = UserRecord("LB-610", PORT_LAN);
    s.tcpPort = port;
    return s;
}

// A port that greets with status bytes nobody reads: a socket closed with them
// unread is reset, and the kernel drops what it still held of the transfer.
TEST(Delivery, ATransferToAPortThatTalksFirstArrivesWhole) {
    const Bytes data = Pattern(1 << 20);
    for (const Job& job : JOBS) {
        SCOPED_TRACE(job.name);
        test::GreetingPort printer(std::string(64, '\x12'));
        std::stop_source stop;
        const Outcome o = job.run(Tcp(printer.Port()), data, {stop.get_token(), JobClock::time_point::max(), 5s});
        EXPECT_TRUE(o.ok) << o.failureString;
        ASSERT_TRUE(printer.WaitForWhole(data.size(), 20s)) << printer.Received().size() << " of " << data.size();
        EXPECT_TRUE(printer.Received() == std::string(data.begin(), data.end()));
        if (!o.percents.empty()) {
            EXPECT_EQ(o.percents.back(), 100u);
        }
    }
}

// A port that takes the connection and never reads: the kernels on both sides
// hold a good part of a megabyte, which is no delivery.
TEST(Delivery, ATransferToAPortThatNeverReadsFails) {
    const Bytes data = Pattern(1 << 20);
    for (const Job& job : JOBS) {
        SCOPED_TRACE(job.name);
        test::Listener deaf(false);
        std::stop_source stop;
        const Outcome o = job.run(Tcp(deaf.Port()), data, {stop.get_token(), JobClock::time_point::max(), 300ms});
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.failureString, 159); // "Unable to send file to port."
        // Nothing reached 100 %.
        if (!o.percents.empty()) {
            EXPECT_LT(o.percents.back(), 100u);
        }
    }
    // A few bytes that its kernel took are there, read or not.
    test::Listener deaf(false);
    EXPECT_TRUE(SendToPrinter(Tcp(deaf.Port()), {}, Bytes{0x1B, 0x40, 0x0A}, {}).Ok());
}

// A printer that drops the connection with bytes of the transfer unread has
// its side reset the connection: it did not take them, whatever its kernel
// acknowledged before.
TEST(Delivery, ATransferThePrinterDropsUnreadFails) {
    const Bytes data = Pattern(16 << 10);
    for (const Job& job : JOBS) {
        SCOPED_TRACE(job.name);
        sim::SimPrinter printer;
        sim::Faults faults;
        faults.dropAfter = 1; // on the first bytes it reads
        printer.SetFaults(faults);
        sim::TcpServer server(printer);
        std::stop_source stop;
        const Outcome o = job.run(Tcp(server.Port()), data, {stop.get_token(), JobClock::time_point::max(), 5s});
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.failureString, 159); // "Unable to send file to port."
        EXPECT_LT(printer.Received().size(), data.size());
    }
}

// The end of a download over the network: the printer, quiet for a while
// (erasing its flash) with everything in its kernel's hands, confirms by
// closing; a printer that gives up then resets, and a failure is shown; one
// that does neither within the stall bound leaves it sent but unconfirmed, and
// the user is told so. A plain file send still takes a quiet printer that has
// everything as done.
TEST(Delivery, ADownloadCountsOnlyOnceThePrinterClosed) {
    const Bytes image = Pattern(1004);
    const JobLimits job{{}, JobClock::time_point::max(), 1500ms};
    const struct {
        const char* name;
        test::EndingPort::End end;
        FirmwareResult::Status status;
        bool unconfirmed;
        const char* says; // in English
        MessageIcon icon;
    } cases[] = {
        {"closes after a busy spell", test::EndingPort::Closes, FirmwareResult::Done, false, "File sent successfully.",
         MessageIcon::Information},
        {"gives up after a busy spell", test::EndingPort::GivesUp, FirmwareResult::WriteFailed, false,
         "Unable to send file to port.", MessageIcon::Warning},
        {"never closes", test::EndingPort::Holds, FirmwareResult::Done, true,
         "The file was sent, but the printer did not confirm that it received it. Check that the printer restarts "
         "with the new firmware before you use it.",
         MessageIcon::Warning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::EndingPort printer(c.end, 600ms);
        PrinterPort port(Tcp(printer.Port()), {});
        const FirmwareResult r = RunFirmwareTransfer(port, image, job, nullptr);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.unconfirmed, c.unconfirmed);
        const auto message = FirmwareMessage(r, PORT_LAN, image.size());
        ASSERT_TRUE(message);
        EXPECT_EQ(LoadUiString(message->stringId, LANG_ENGLISH), c.says);
        EXPECT_EQ(message->icon, c.icon);
    }
    for (const auto end : {test::EndingPort::Closes, test::EndingPort::Holds}) {
        test::EndingPort printer(end, 600ms);
        PrinterPort port(Tcp(printer.Port()), {});
        const SendJobResult r = RunFileSend(port, image, {}, job, nullptr);
        EXPECT_EQ(r.status, SendJobResult::Done) << end;
        EXPECT_EQ(r.sent, image.size()) << end;
    }
}

} // namespace
} // namespace pemberlux
