#include "codecs/deflate/mszip_compressor.h"

#include "base/ordered_workers.h"
#include "platform/environment_switches.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <libdeflate.h>
#include <zlib.h>

namespace qvo::codecs::deflate {
namespace {

constexpr uint8_t kSignature[2] = {'C', 'K'};
// Deflate's window: the most a frame can refer back.
constexpr size_t kDictionarySize = 32768;
constexpr unsigned kMaxThreads = 16;

size_t putSignature(std::vector<uint8_t> &out, size_t bound)
{
    size_t start = out.size();
    out.resize(start + sizeof kSignature + bound);
    std::copy(std::begin(kSignature), std::end(kSignature), out.begin() + start);
    return start + sizeof kSignature;
}

// Compresses one frame into "CK" and a complete deflate stream.
class FrameDeflater {
public:
    virtual ~FrameDeflater() = default;
    virtual void compress(std::span<const uint8_t> dictionary, std::span<const uint8_t> frame,
                          std::vector<uint8_t> &out) = 0;
};

// zlib raw deflate, reset for every frame and primed with the previous one.
class ZlibDeflater final : public FrameDeflater {
public:
    explicit ZlibDeflater(int level)
    {
        if (deflateInit2(&z_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~ZlibDeflater() override { deflateEnd(&z_); }
    ZlibDeflater(const ZlibDeflater &) = delete;
    ZlibDeflater &operator=(const ZlibDeflater &) = delete;

    void compress(std::span<const uint8_t> dictionary, std::span<const uint8_t> frame,
                  std::vector<uint8_t> &out) override
    {
        deflateReset(&z_);
        if (!dictionary.empty()) {
            if (dictionary.size() > kDictionarySize)
                dictionary = dictionary.last(kDictionarySize);
            deflateSetDictionary(&z_, dictionary.data(), static_cast<uInt>(dictionary.size()));
        }
        size_t bound = deflateBound(&z_, static_cast<uLong>(frame.size()));
        size_t at = putSignature(out, bound);
        z_.next_in = const_cast<Bytef *>(frame.data());
        z_.avail_in = static_cast<uInt>(frame.size());
        z_.next_out = out.data() + at;
        z_.avail_out = static_cast<uInt>(bound);
        if (::deflate(&z_, Z_FINISH) != Z_STREAM_END)
            throw std::runtime_error("deflate did not finish a frame");
        out.resize(out.size() - z_.avail_out);
    }

private:
    z_stream z_{};
};

// libdeflate on each frame alone: no dictionary support, but much faster.
class LibdeflateDeflater final : public FrameDeflater {
public:
    explicit LibdeflateDeflater(int level) : c_(libdeflate_alloc_compressor(level))
    {
        if (!c_)
            throw std::bad_alloc();
    }
    ~LibdeflateDeflater() override { libdeflate_free_compressor(c_); }
    LibdeflateDeflater(const LibdeflateDeflater &) = delete;
    LibdeflateDeflater &operator=(const LibdeflateDeflater &) = delete;

    void compress(std::span<const uint8_t>, std::span<const uint8_t> frame,
                  std::vector<uint8_t> &out) override
    {
        size_t bound = libdeflate_deflate_compress_bound(c_, frame.size());
        size_t at = putSignature(out, bound);
        size_t n = libdeflate_deflate_compress(c_, frame.data(), frame.size(), out.data() + at, bound);
        if (n == 0)
            throw std::runtime_error("deflate did not finish a frame");
        out.resize(at + n);
    }

private:
    libdeflate_compressor *c_;
};

class MszipCompressor final : public FrameCompressor {
public:
    explicit MszipCompressor(const MszipOptions &options) : options_(options)
    {
        unsigned threads = options.threads;
        if (threads == 0)
            threads = platform::machineShare().workers(kMaxThreads, 1);
        // A batch holds 64 frames; more threads than that would idle, and
        // each holds its own deflate state.
        threads_ = std::min(threads, kMaxThreads);
    }

    FrameMethod method() const override { return FrameMethod::Mszip; }

    void compressFrame(std::span<const uint8_t> input, bool, std::vector<uint8_t> &out) override
    {
        deflater(0).compress(history_, input, out);
        if (options_.chained)
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
            if (!options_.chained)
                return std::span<const uint8_t>();
            return i == 0 ? std::span<const uint8_t>(history_) : frameAt(i - 1);
        };

        // The calling thread compresses frames too.  A pool lives for one
        // batch, so an idle folder holds no threads; the deflate states,
        // one per slot, live as long as the folder.
        const unsigned threads = static_cast<unsigned>(std::min<size_t>(threads_, frames));
        base::OrderedWorkers<size_t> workers(platform::withWorkerSwitches({.threads = threads - 1, .consumerHelps = true}),
                                             [&](size_t &i, unsigned slot) {
                                                 deflaters_[slot]->compress(dictionaryOf(i), frameAt(i),
                                                                            payloads[first + i]);
                                             });
        for (unsigned slot = 0; slot < workers.slots(); ++slot)
            deflater(slot);
        for (size_t i = 0; i < frames; ++i)
            workers.submit(i, frameAt(i).size());
        for (size_t i = 0; i < frames; ++i)
            workers.take(); // rethrows a frame's failure; the rest are dropped

        if (options_.chained) {
            std::span<const uint8_t> last = frameAt(frames - 1);
            history_.assign(last.begin(), last.end());
        }
    }

private:
    FrameDeflater &deflater(unsigned index)
    {
        while (deflaters_.size() <= index) {
            if (options_.chained)
                deflaters_.push_back(std::make_unique<ZlibDeflater>(options_.level));
            else
                deflaters_.push_back(std::make_unique<LibdeflateDeflater>(options_.level));
        }
        return *deflaters_[index];
    }

    MszipOptions options_;
    unsigned threads_ = 1;
    std::vector<uint8_t> history_; // the previous frame: next frame's dictionary
    std::vector<std::unique_ptr<FrameDeflater>> deflaters_;
};

} // namespace

std::unique_ptr<FrameCompressor> makeMszipCompressor(const MszipOptions &options)
{
    return std::make_unique<MszipCompressor>(options);
}

} // namespace qvo::codecs::deflate
