#include "SimFleet.h"

#include "LabelPrinterSim.h"
#include "ReceiptPrinterSim.h"

#include <cstdio>
#include <stdexcept>

namespace pemberlux::sim {

namespace {

constexpr const char* FLEET_MODELS[] = {"LB-610", "LB-710", "LB-600", "TR-510", "TR-520"};

std::unique_ptr<SimPrinter> MakeModel(const std::string& name) {
    if (const auto label = LabelModelFromName(name)) return std::make_unique<LabelPrinterSim>(*label);
    return std::make_unique<ReceiptPrinterSim>(*ReceiptModelFromName(name));
}

} // namespace

std::string SimFleet::Address(int k) {
    return "127.1." + std::to_string(k / 250) + "." + std::to_string(k % 250 + 1);
}

FleetFault SimFleet::FaultOf(int k, int faultEvery) {
    if (faultEvery <= 0 || k % faultEvery != faultEvery - 1) return FleetFault::None;
    static constexpr FleetFault turns[] = {FleetFault::Silent, FleetFault::Late, FleetFault::Drop};
    return turns[(k / faultEvery) % 3];
}

const char* SimFleet::FaultName(FleetFault fault) {
    switch (fault) {
    case FleetFault::Silent:
        return "silent";
    case FleetFault::Late:
        return "late";
    case FleetFault::Drop:
        return "drop";
    case FleetFault::None:
        break;
    }
    return "none";
}

SimFleet::SimFleet(const FleetOptions& options) {
    if (options.count < 0 || options.count > 250 * 250) throw std::invalid_argument("a fleet of 0 to 62500 printers");
    for (const std::string& model : options.models)
        if (!LabelModelFromName(model) && !ReceiptModelFromName(model))
            throw std::invalid_argument("no such model: " + model);
    servers_ = std::make_unique<PrintServerSim>(options.searchPort);
    searchPort_ = servers_->Port();
    for (int k = 0; k < options.count; ++k) {
        Member m;
        m.model = options.models.empty()
                      ? FLEET_MODELS[static_cast<std::size_t>(k) % std::size(FLEET_MODELS)]
                      : options.models[static_cast<std::size_t>(k) % options.models.size()];
        m.address = Address(k);
        m.fault = FaultOf(k, options.faultEvery);
        SimPrinter* printer = printers_.emplace_back(MakeModel(m.model)).get();
        Faults faults = options.common;
        if (m.fault == FleetFault::Silent) faults.silent = true;
        if (m.fault == FleetFault::Late) faults.answerDelay += options.lateBy;
        if (m.fault == FleetFault::Drop) faults.dropAfter = 1;
        printer->SetFaults(faults);
        const auto& server = tcp_.emplace_back(std::make_unique<TcpServer>(*printer, options.printPort, m.address));
        m.port = server->Port();
        m.printer = printer;

        VirtualPrintServer ps = MakePrintServer(k);
        ps.mac = {0x02, 0x54, 0x46, static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 8),
                  static_cast<std::uint8_t>(k)};
        ps.ip = {127, 1, static_cast<std::uint8_t>(k / 250), static_cast<std::uint8_t>(k % 250 + 1)};
        ps.deviceName = m.model;
        ps::Put(ps.image, ps::Field::Mac, ps.mac);
        ps::PutAddress(ps.image, ps::Field::Ip, ps.ip);
        ps::PutPort(ps.image, m.port);
        m.mac = ps::MacText(ps.mac);
        servers_->Add(ps);
        members_.push_back(m);
    }
}

SimFleet::~SimFleet() {
    Stop();
}

void SimFleet::Stop() {
    // The transports end before the printers they serve.
    tcp_.clear();
    servers_.reset();
}

} // namespace pemberlux::sim
