#include "codecs/rar/rar_unpacker.h"

#include "codecs/lz/lz_window.h"
#include "codecs/rar/rar15_decoder.h"
#include "codecs/rar/rar20_decoder.h"
#include "codecs/rar/rar29_decoder.h"

#include <type_traits>

namespace qvo::codecs::rar {
namespace {

// The largest dictionary RAR 1.5-4.x use; one window serves every method.
constexpr size_t kWindowSize = size_t{4} << 20;

} // namespace

struct Rar4Unpacker::Impl {
    std::unique_ptr<lz::Window> window;
    std::unique_ptr<Rar15Decoder> v15;
    std::unique_ptr<Rar20Decoder> v20;
    std::unique_ptr<Rar29Decoder> v29;

    lz::Window &win()
    {
        if (!window)
            window = std::make_unique<lz::Window>(kWindowSize);
        return *window;
    }
};

Rar4Unpacker::Rar4Unpacker() : impl_(std::make_unique<Impl>()) {}
Rar4Unpacker::~Rar4Unpacker() = default;

bool Rar4Unpacker::supportsVersion(int version)
{
    return version == 15 || version == 20 || version == 26 || version == 29 || version == 36;
}

base::DecodeStatus Rar4Unpacker::unpack(int version, bool solid, base::ByteSource &in, uint64_t size,
                                        base::ByteSink &out)
{
    if (!supportsVersion(version))
        return base::DecodeStatus::Unsupported;
    lz::Window &win = impl_->win();
    // One window for every method: a solid archive may mix them.  A method
    // that has not run yet has no state to continue: it starts afresh.
    auto run = [&](auto &decoder) {
        using Decoder = typename std::remove_reference_t<decltype(decoder)>::element_type;
        bool continues = solid && decoder != nullptr;
        if (!decoder)
            decoder = std::make_unique<Decoder>(win);
        win.startMember(solid);
        return decoder->unpack(continues, in, size, out);
    };
    if (version == 29 || version == 36)
        return run(impl_->v29);
    if (version == 15)
        return run(impl_->v15);
    return run(impl_->v20);
}

} // namespace qvo::codecs::rar
