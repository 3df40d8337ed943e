// A large dump is mostly working out and formatting lines, VS by VS, from a
// model nobody changes any more: two threads share it in blocks. Recording
// the cipher sets stays with the writer, so the file gets them in list order.
#include "reports/dump_blocks.h"

#include <algorithm>
#include <optional>

#include "lib/blocks_in_order.h"

namespace lbsnap {

namespace {

// About 150 KB of text per block, of the varied configurations' VSs.
constexpr std::size_t kVsPerBlock = 16;
// Below this many blocks a second thread costs more than it saves: most
// configurations are this small, and their dump starts the page.
constexpr std::size_t kTwoThreadsFrom = 8;

}  // namespace

void dump_every_vs(const Model& m, CipherSetRecorder& cipher_sets, const DumpBlock& dump, const WriteBlock& write) {
    const VsSpan list(m.bahd);
    const std::size_t count = (list.size() + kVsPerBlock - 1) / kVsPerBlock;
    auto vss_of = [&](std::size_t block) {
        const std::size_t first = block * kVsPerBlock;
        return list.subspan(first, std::min(kVsPerBlock, list.size() - first));
    };
    DumpRun here(nullptr);
    std::optional<DumpRun> there;
    if (count >= kTwoThreadsFrom) there.emplace(here.for_other_thread(m));
    auto maker = [&](DumpRun& run) -> MakeBlock {
        return [&](std::size_t block, std::string& text) { dump(text, block, vss_of(block), run); };
    };
    make_blocks_in_order(count, maker(here), there ? maker(*there) : MakeBlock{},
                         [&](std::size_t block, const std::string& text) {
                             for (const auto& vs : vss_of(block)) record_custom_cipherset(&cipher_sets, *vs);
                             write(text);
                         });
}

}  // namespace lbsnap
