// A long text made in blocks on two threads and handed over in order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace lbsnap {

// Makes block `block` of a text, appending to `text` (empty on the call).
using MakeBlock = std::function<void(std::size_t block, std::string& text)>;
// Takes block `block`, once made.
using TakeBlock = std::function<void(std::size_t block, const std::string& text)>;

// Makes blocks 0 .. count-1 and gives each to `take`, in order, on the
// calling thread. `make_here` makes the even blocks on the calling thread,
// `make_there` the odd ones on a second thread; each keeps whatever state it
// needs apart from the other's. Without `make_there`, or when no thread can
// be started, `make_here` makes every block. The second thread runs a few
// blocks ahead at most, so only a few blocks are held at once. What a maker
// throws reaches the caller when its block's turn comes.
void make_blocks_in_order(std::size_t count, const MakeBlock& make_here, const MakeBlock& make_there,
                          const TakeBlock& take);

}  // namespace lbsnap
