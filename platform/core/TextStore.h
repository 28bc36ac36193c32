#pragma once
// Many short texts kept back to back in large blocks, each known by a 32-bit
// position: no allocation per text, no block ever moved or copied as the
// store grows, and a list of tens of thousands of cards costs little more
// than its bytes. Texts are never changed or freed one by one; a changed
// value is stored anew and the store is emptied as a whole.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/Error.h"

namespace numora {

class TextStore {
public:
    // Stores a copy of text; the position stays valid until clear().
    std::uint32_t put(std::string_view text)
    {
        const std::size_t n = text.size();
        if (n > kBlockSize) {
            // A text longer than a block has a block of its own.
            newBlock(n);
            used_ = kBlockSize; // the next text starts a new block
            std::memcpy(blocks_.back().get(), text.data(), n);
            return position(0);
        }
        if (blocks_.empty() || used_ + n > kBlockSize) {
            newBlock(kBlockSize);
            used_ = 0;
        }
        std::memcpy(blocks_.back().get() + used_, text.data(), n);
        const std::uint32_t at = position(used_);
        used_ += n;
        return at;
    }

    const char* at(std::uint32_t position) const
    {
        return blocks_[position >> kOffsetBits].get() + (position & kOffsetMask);
    }

    void clear()
    {
        blocks_.clear();
        used_ = 0;
    }

private:
    static constexpr unsigned kOffsetBits = 18;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kOffsetBits; // 256 KiB
    static constexpr std::uint32_t kOffsetMask = (std::uint32_t{1} << kOffsetBits) - 1;
    static constexpr std::size_t kMaxBlocks = std::size_t{1} << (32 - kOffsetBits);

    void newBlock(std::size_t size)
    {
        if (blocks_.size() >= kMaxBlocks)
            throw Error(7, "Out of memory");
        blocks_.emplace_back(new char[size]); // written before it is read, so never cleared
    }

    std::uint32_t position(std::size_t offset) const
    {
        return static_cast<std::uint32_t>(((blocks_.size() - 1) << kOffsetBits) | offset);
    }

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = 0; // bytes used in the last block
};

} // namespace numora
