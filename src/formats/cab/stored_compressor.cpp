#include "formats/cab/stored_compressor.h"

namespace qvo::formats::cab {
namespace {

class StoredCompressor final : public codecs::FrameCompressor {
public:
    codecs::FrameMethod method() const override { return codecs::FrameMethod::Stored; }
    void compressFrame(std::span<const uint8_t> input, bool, std::vector<uint8_t> &out) override
    {
        out.insert(out.end(), input.begin(), input.end());
    }
};

} // namespace

std::unique_ptr<codecs::FrameCompressor> makeStoredCompressor()
{
    return std::make_unique<StoredCompressor>();
}

} // namespace qvo::formats::cab
