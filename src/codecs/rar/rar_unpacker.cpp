#include "codecs/rar/rar_unpacker.h"

#include "codecs/rar/lz_window.h"
#include "codecs/rar/rar15_decoder.h"
#include "codecs/rar/rar20_decoder.h"
#include "codecs/rar/rar29_decoder.h"

namespace qvo::codecs::rar {

struct Rar4Unpacker::Impl {
    std::unique_ptr<LzWindow> window;
    std::unique_ptr<Rar15Decoder> v15;
    std::unique_ptr<Rar20Decoder> v20;
    std::unique_ptr<Rar29Decoder> v29;

    LzWindow &win()
    {
        if (!window)
            window = std::make_unique<LzWindow>();
        return *window;
    }
};

Rar4Unpacker::Rar4Unpacker() : impl_(std::make_unique<Impl>()) {}
Rar4Unpacker::~Rar4Unpacker() = default;

bool Rar4Unpacker::supportsVersion(int version)
{
    return version == 15 || version == 20 || version == 26 || version == 29 || version == 36;
}

UnpackResult Rar4Unpacker::unpack(int version, bool solid, PackedSource &in, uint64_t size, UnpackedSink &out)
{
    if (!supportsVersion(version))
        return UnpackResult::Unsupported;
    LzWindow &win = impl_->win();
    win.startMember(solid);
    UnpackResult r = UnpackResult::Unsupported;
    // One window for every method: a solid archive may mix them.
    if (version == 29 || version == 36) {
        if (!impl_->v29)
            impl_->v29 = std::make_unique<Rar29Decoder>(win);
        r = impl_->v29->unpack(solid, in, size, out);
    } else if (version == 15) {
        if (!impl_->v15)
            impl_->v15 = std::make_unique<Rar15Decoder>(win);
        r = impl_->v15->unpack(solid, in, size, out);
    } else if (version == 20 || version == 26) {
        if (!impl_->v20)
            impl_->v20 = std::make_unique<Rar20Decoder>(win);
        r = impl_->v20->unpack(solid, in, size, out);
    }
    return r;
}

} // namespace qvo::codecs::rar
