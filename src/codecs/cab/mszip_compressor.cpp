#include "codecs/cab/mszip_compressor.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <new>
#include <stdexcept>
#include <thread>
#include <zlib.h>

namespace qvo::codecs::cab {
namespace {

constexpr uint8_t kSignature[2] = {'C', 'K'};
// Deflate's window: the most a frame can refer back.
constexpr size_t kDictionarySize = 32768;

// One zlib raw-deflate stream, reset for every frame.
class Deflater {
public:
    explicit Deflater(int level)
    {
        if (deflateInit2(&z_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~Deflater() { deflateEnd(&z_); }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    void compress(std::span<const uint8_t> dictionary, std::span<const uint8_t> frame,
                  std::vector<uint8_t> &out)
    {
        deflateReset(&z_);
        if (!dictionary.empty()) {
            if (dictionary.size() > kDictionarySize)
                dictionary = dictionary.last(kDictionarySize);
            deflateSetDictionary(&z_, dictionary.data(), static_cast<uInt>(dictionary.size()));
        }
        size_t start = out.size();
        size_t bound = deflateBound(&z_, static_cast<uLong>(frame.size()));
        out.resize(start + sizeof kSignature + bound);
        std::copy(std::begin(kSignature), std::end(kSignature), out.begin() + start);
        z_.next_in = const_cast<Bytef *>(frame.data());
        z_.avail_in = static_cast<uInt>(frame.size());
        z_.next_out = out.data() + start + sizeof kSignature;
        z_.avail_out = static_cast<uInt>(bound);
        if (deflate(&z_, Z_FINISH) != Z_STREAM_END)
            throw std::runtime_error("deflate did not finish a frame");
        out.resize(out.size() - z_.avail_out);
    }

private:
    z_stream z_{};
};

class MszipCompressor final : public FolderCompressor {
public:
    MszipCompressor(int level, unsigned threads) : level_(level)
    {
        if (threads == 0)
            threads = std::max(1u, std::thread::hardware_concurrency());
        threads_ = threads;
    }

    uint16_t typeCompress() const override { return kTypeMszip; }

    void compressFrame(std::span<const uint8_t> input, bool, std::vector<uint8_t> &out) override
    {
        deflater(0).compress(history_, input, out);
        history_.assign(input.begin(), input.end());
    }

    void compressFrames(std::span<const uint8_t> input, bool,
                        std::vector<std::vector<uint8_t>> &payloads) override
    {
        const size_t frames = (input.size() + kFrameSize - 1) / kFrameSize;
        if (frames == 0)
            return;
        const size_t first = payloads.size();
        payloads.resize(first + frames);

        auto frameAt = [&](size_t i) {
            size_t pos = i * kFrameSize;
            return input.subspan(pos, std::min(kFrameSize, input.size() - pos));
        };
        auto dictionaryOf = [&](size_t i) {
            return i == 0 ? std::span<const uint8_t>(history_) : frameAt(i - 1);
        };

        const unsigned workers = static_cast<unsigned>(std::min<size_t>(threads_, frames));
        for (unsigned w = 0; w < workers; ++w)
            deflater(w);
        std::atomic<size_t> next{0};
        std::exception_ptr failure;
        std::atomic<bool> failed{false};
        auto work = [&](unsigned w) {
            try {
                for (size_t i; (i = next.fetch_add(1)) < frames && !failed.load();)
                    deflaters_[w]->compress(dictionaryOf(i), frameAt(i), payloads[first + i]);
            } catch (...) {
                if (!failed.exchange(true))
                    failure = std::current_exception();
            }
        };
        std::vector<std::thread> helpers;
        for (unsigned w = 1; w < workers; ++w)
            helpers.emplace_back(work, w);
        work(0);
        for (auto &t : helpers)
            t.join();
        if (failure)
            std::rethrow_exception(failure);

        std::span<const uint8_t> last = frameAt(frames - 1);
        history_.assign(last.begin(), last.end());
    }

private:
    Deflater &deflater(unsigned index)
    {
        while (deflaters_.size() <= index)
            deflaters_.push_back(std::make_unique<Deflater>(level_));
        return *deflaters_[index];
    }

    int level_;
    unsigned threads_ = 1;
    std::vector<uint8_t> history_; // the previous frame: next frame's dictionary
    std::vector<std::unique_ptr<Deflater>> deflaters_;
};

} // namespace

std::unique_ptr<FolderCompressor> makeMszipCompressor(int level, unsigned threads)
{
    return std::make_unique<MszipCompressor>(level, threads);
}

} // namespace qvo::codecs::cab
