#include "codecs/rar/rar_unpacker.h"

namespace qvo::codecs::rar {

struct Rar4Unpacker::Impl {
    bool broken = false;
};

Rar4Unpacker::Rar4Unpacker() : impl_(std::make_unique<Impl>()) {}
Rar4Unpacker::~Rar4Unpacker() = default;

bool Rar4Unpacker::supportsVersion(int)
{
    return false;
}

UnpackResult Rar4Unpacker::unpack(int, bool, PackedSource &, uint64_t, UnpackedSink &)
{
    impl_->broken = true;
    return UnpackResult::Unsupported;
}

bool Rar4Unpacker::broken() const
{
    return impl_->broken;
}

} // namespace qvo::codecs::rar
