#include "FramedPrinterSim.h"

#include <algorithm>
#include <sstream>

namespace pemberlux::sim {

std::size_t SizeUpToEnd(const std::uint8_t* p, std::size_t avail, std::size_t from) {
    const std::uint8_t* hit = std::search(p + from, p + avail, kFrameEnd.begin(), kFrameEnd.end());
    return hit == p + avail ? 0 : static_cast<std::size_t>(hit - p) + kFrameEnd.size();
}

std::size_t FrameSize(const std::uint8_t* p, std::size_t avail, const ItemReader& item) {
    std::size_t at = kFrameBegin.size();
    std::size_t resync = at;
    for (;;) {
        if (avail <= at) return 0;
        if (p[at] != 0x1B) return SizeUpToEnd(p, avail, resync);
        if (avail < at + 2) return 0;
        if (p[at + 1] == kFrameEnd[1]) {
            if (avail < at + 3) return 0;
            return p[at + 2] == kFrameEnd[2] ? at + 3 : SizeUpToEnd(p, avail, resync);
        }
        const ItemSize next = item(p, avail, at);
        if (next.kind == ItemSize::WholeFrame) return next.size;
        if (next.kind == ItemSize::Unknown) return SizeUpToEnd(p, avail, at + 2);
        resync = at + 2;
        at += 2 + next.size;
    }
}

bool EndsFrame(const std::uint8_t* p, std::size_t size) {
    return size >= kFrameBegin.size() + kFrameEnd.size() &&
           std::equal(kFrameEnd.begin(), kFrameEnd.end(), p + size - kFrameEnd.size());
}

std::optional<std::vector<SettingItem>> SettingItems(const std::uint8_t* f, std::size_t size,
                                                     const SlotReader& slotOf) {
    if (!EndsFrame(f, size)) return std::nullopt;
    const std::size_t end = size - kFrameEnd.size();
    std::vector<SettingItem> items;
    for (std::size_t at = kFrameBegin.size(); at < end;) {
        const auto slot = f[at] == 0x1B && at + 1 < end ? slotOf(f[at + 1]) : std::nullopt;
        if (!slot) return std::nullopt;
        items.push_back({slot->first, f + at + 2});
        at += 2 + slot->second;
        if (at > end) return std::nullopt;
    }
    return items;
}

std::uint8_t FramedPrinterSim::SerialConfig() const {
    std::lock_guard lock(mutex_);
    return serialConfig_;
}

void FramedPrinterSim::SetSerialConfig(std::uint8_t config) {
    std::lock_guard lock(mutex_);
    serialConfig_ = config;
}

bool FramedPrinterSim::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return frameCv_.wait_for(lock, timeout, [&] { return frames_ >= count; });
}

void FramedPrinterSim::OnConnected() {
    std::lock_guard lock(mutex_);
    pending_.clear();
}

std::vector<Answer> FramedPrinterSim::Respond(const std::uint8_t* data, std::size_t size) {
    std::vector<Answer> out;
    {
        std::lock_guard lock(mutex_);
        pending_.insert(pending_.end(), data, data + size);
        std::size_t used = 0;
        while (used < pending_.size()) {
            const std::uint8_t* p = pending_.data() + used;
            const std::size_t avail = pending_.size() - used;
            const std::size_t frame = FrameAt(p, avail);
            if (frame == 0 && avail <= kMaxFrame) break;
            if (frame == 0 || frame == kStray) {
                ++strayBytes_;
                ++used;
                continue;
            }
            ++frames_;
            HandleFrame(p, frame, out);
            used += frame;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    }
    frameCv_.notify_all();
    AfterFrames();
    if (!out.empty()) {
        if (auto scripted = ScriptedAnswer()) return *scripted;
    }
    return out;
}

std::string FramedPrinterSim::SerialLineJson(const std::array<const char*, 4>& parities) const {
    static const char* const rates[8] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
    const std::uint8_t c = serialConfig_;
    std::ostringstream out;
    out << "\"serial_config\":" << static_cast<int>(c) << ",\"serial_line\":{\"baud_rate\":\"" << rates[c & 0x07]
        << "\",\"parity\":\"" << parities[(c >> 4) & 0x03] << "\",\"data_bits\":\"" << ((c & 0x80) ? "7" : "8")
        << "\",\"stop_bits\":\"" << ((c & 0x40) ? "2" : "1") << "\",\"flow_control\":\""
        << ((c & 0x08) ? "Xon/Xoff" : "DTR") << "\"}";
    return out.str();
}

} // namespace pemberlux::sim
