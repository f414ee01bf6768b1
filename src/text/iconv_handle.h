// One iconv conversion descriptor, closed when it goes out of scope.
//
// Each decoding opens its own: iconv_t is not thread-safe and opening one
// costs little next to file I/O.
#pragma once
#include <iconv.h>

namespace qvo::text {

class Iconv {
public:
    Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

} // namespace qvo::text
