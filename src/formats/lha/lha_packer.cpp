#include "formats/lha/lha_packer.h"

#include "formats/lha/mapped_file.h"
#include "codecs/lha/lha_crc16.h"
#include "platform/environment_switches.h"

namespace qvo::formats::lha {

using namespace qvo::codecs::lha;

PackedMember packFileInMemory(const create::WriterEntry &entry, LhaMethod method)
{
    PackedMember m;
    MappedFile in;
    if ((m.status = in.open(entry.diskPath)) != create::WriteStatus::Ok)
        return m;
    m.originalSize = uint32_t(in.size());
    m.crc = crc16Update(0, in.data(), in.size());
    m.method = method;
    if (method != LhaMethod::Lh0) {
        ByteSink sink = [&](const uint8_t *p, size_t n) {
            m.bytes.insert(m.bytes.end(), p, p + n);
            return true;
        };
        if (encodeLhaMember(method, in.data(), in.size(), sink).status != EncodeStatus::Ok)
            m.method = LhaMethod::Lh0;
    }
    if (m.method == LhaMethod::Lh0)
        m.bytes.assign(in.data(), in.data() + in.size());
    return m;
}

ParallelPacker::ParallelPacker(const std::vector<create::WriterEntry> &entries, LhaMethod method)
    : handled_(entries.size(), false),
      workers_(platform::withWorkerSwitches({.threads = platform::machineShare().workers(4),
                                             .maxJobsAhead = kMaxJobsAhead,
                                             .maxBytesAhead = platform::machineShare().shareOfBudget(kMaxBytesAhead)}),
               [&entries, method](Job &job, unsigned) { job.packed = packFileInMemory(entries[job.entry], method); })
{
    if (workers_.threads() == 0)
        return; // the writer packs everything itself, streaming
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == create::WriterEntry::Kind::File && entries[i].size <= kMaxParallelFile) {
            handled_[i] = true;
            workers_.submit(Job{i, {}}, entries[i].size);
        }
    }
}

PackedMember ParallelPacker::take()
{
    try {
        return workers_.take().packed;
    } catch (...) {
        // The writer reports it as the member's failure.
        PackedMember m;
        m.status = create::WriteStatus::Internal;
        return m;
    }
}

} // namespace qvo::formats::lha
