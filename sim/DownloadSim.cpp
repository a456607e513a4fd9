#include "DownloadSim.h"

#include <sstream>

namespace pemberlux::sim {

namespace {

// The tags as the printers' loaders know them.
const Bytes kFirmwareTag{'U', 'D', 'F', 'W'};
const Bytes kCgTag{'U', 'D', 'C', 'G'};

} // namespace

std::vector<Answer> DownloadSim::Respond(const std::uint8_t* data, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        const bool quiet = now - lastBytes_ >= NEW_DOWNLOAD_SILENCE;
        lastBytes_ = now;
        if (quiet && !current_.kind.empty() && size >= 4) {
            const Bytes tag(data, data + 4);
            if (tag == kFirmwareTag || tag == kCgTag) current_ = Download{};
        }
        if (size > 0 && head_.empty() && current_.kind.empty()) ++downloads_;
        if (current_.kind.empty()) {
            head_.insert(head_.end(), data, data + size);
            if (head_.size() >= 4) {
                const Bytes tag(head_.begin(), head_.begin() + 4);
                const bool tagged = tag == kFirmwareTag || tag == kCgTag;
                current_.kind = tag == kFirmwareTag ? "firmware" : tag == kCgTag ? "cg" : "image";
                current_.image.assign(head_.begin() + (tagged ? 4 : 0), head_.end());
                head_.clear();
            }
        } else {
            current_.image.insert(current_.image.end(), data, data + size);
        }
    }
    cv_.notify_all();
    return {};
}

void DownloadSim::OnConnected() {
    std::lock_guard lock(mutex_);
    head_.clear();
    current_ = Download{};
}

Download DownloadSim::Current() const {
    std::lock_guard lock(mutex_);
    Download d = current_;
    // Fewer than 4 bytes: an image too short to have a tag.
    if (d.kind.empty()) d.image = head_;
    return d;
}

std::size_t DownloadSim::Downloads() const {
    std::lock_guard lock(mutex_);
    return downloads_;
}

bool DownloadSim::WaitForImage(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return current_.image.size() >= count; });
}

std::uint64_t DownloadSim::Checksum(const Bytes& bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    return h;
}

std::string DownloadSim::StateJson() const {
    std::lock_guard lock(mutex_);
    std::ostringstream out;
    out << '{' << BaseStateFields() << ",\"downloads\":" << downloads_
        << ",\"download\":{\"kind\":" << JsonString(current_.kind) << ",\"image_bytes\":" << current_.image.size()
        << ",\"fnv1a64\":\"" << std::hex << Checksum(current_.image) << std::dec << "\"}}";
    return out.str();
}

} // namespace pemberlux::sim
