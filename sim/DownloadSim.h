// A printer's loader taking a download: "UDFW" and a firmware image, "UDCG"
// and a character generator, or (a label printer in download mode) a raw
// image with no tag. Every connection (every TCP client; the whole life of a
// USB or pty node) is one download, except that a tag arriving after
// NEW_DOWNLOAD_SILENCE without a byte starts the next one: a loader waits for
// a new header once a transfer has ended, whatever it was sent in between. It keeps what arrived, in order, so that
// tests compare it with the file byte for byte, and reports size and checksum
// in its state. It answers nothing.
#pragma once

#include "SimPrinter.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <string>

namespace pemberlux::sim {

struct Download {
    // "firmware" (UDFW), "cg" (UDCG), "image" (no tag), "" while fewer than 4 bytes came.
    std::string kind;
    Bytes image; // the bytes after the tag
};

class DownloadSim : public SimPrinter {
public:
    static constexpr std::chrono::milliseconds NEW_DOWNLOAD_SILENCE{1000};

    std::string ModelName() const override { return "download"; }

    // The download of the current connection.
    Download Current() const;
    // How many downloads began (connections that brought bytes).
    std::size_t Downloads() const;
    // Blocks until the current download's image holds `count` bytes or `timeout` passes.
    bool WaitForImage(std::size_t count, std::chrono::milliseconds timeout) const;

    std::string StateJson() const override;

    // 64-bit FNV-1a of `bytes`, the checksum the state reports.
    static std::uint64_t Checksum(const Bytes& bytes);

protected:
    std::vector<Answer> Respond(const std::uint8_t* data, std::size_t size) override;
    void OnConnected() override;

private:
    Bytes head_; // the first bytes, until the tag is known
    Download current_;
    std::size_t downloads_ = 0;
    std::chrono::steady_clock::time_point lastBytes_{};
    mutable std::condition_variable cv_;
};

} // namespace pemberlux::sim
