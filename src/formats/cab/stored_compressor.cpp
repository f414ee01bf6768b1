#include "formats/cab/stored_compressor.h"

namespace qvo::codecs::cab {
namespace {

class StoredCompressor final : public FolderCompressor {
public:
    uint16_t typeCompress() const override { return kTypeNone; }
    void compressFrame(std::span<const uint8_t> input, bool, std::vector<uint8_t> &out) override
    {
        out.insert(out.end(), input.begin(), input.end());
    }
};

} // namespace

std::unique_ptr<FolderCompressor> makeStoredCompressor()
{
    return std::make_unique<StoredCompressor>();
}

} // namespace qvo::codecs::cab
