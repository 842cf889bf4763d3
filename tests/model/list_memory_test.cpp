// SPDX-License-Identifier: GPL-3.0-or-later
// The memory a mesh's short lists take: blocks that never overlap, aligned as the lists need,
// kept for reuse when given back, and all free again at once when the mesh empties; and the
// connection list kept in it.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "model/conn_list.h"
#include "model/list_memory.h"

namespace meshthin::testing {
namespace {

struct Block {
    unsigned char* start;
    size_t bytes;
    unsigned char fill;
};

// Fills every live block with its own byte and checks that none was overwritten by another.
class Blocks {
public:
    explicit Blocks(ListMemory& memory) : memory(memory) {}
    ~Blocks() {
        for (const Block& block : live) {
            memory.deallocate(block.start, block.bytes);
        }
    }

    void take(size_t bytes) {
        auto* start = static_cast<unsigned char*>(memory.allocate(bytes));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(start) % 16, 0u) << bytes;
        const auto fill = static_cast<unsigned char>(live.size() * 37 + 1);
        std::fill(start, start + bytes, fill);
        live.push_back({start, bytes, fill});
    }
    void giveBack(size_t index) {
        const Block block = live[index];
        live.erase(live.begin() + static_cast<std::ptrdiff_t>(index));
        memory.deallocate(block.start, block.bytes);
    }
    void expectIntact() const {
        for (const Block& block : live) {
            for (size_t i = 0; i < block.bytes; ++i) {
                ASSERT_EQ(block.start[i], block.fill) << "a block of " << block.bytes << " bytes";
            }
        }
    }
    size_t count() const { return live.size(); }

private:
    ListMemory& memory;
    std::vector<Block> live;
};

TEST(ListMemory, BlocksNeverOverlapAndAreAlignedWhateverIsGivenBack) {
    ListMemory memory;
    std::mt19937 random(5);
    Blocks blocks(memory);
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 500; ++i) {
            // Mostly the sizes of short lists, some beyond the largest block the slabs serve.
            const size_t bytes = random() % 10 == 0 ? 1 + random() % 9000 : 1 + random() % 200;
            blocks.take(bytes);
        }
        for (size_t n = blocks.count() / 2; n > 0; --n) {
            blocks.giveBack(random() % blocks.count());
        }
        blocks.expectIntact();
    }
}

TEST(ListMemory, ListsGrowAndTheNextMeshReusesTheSlabs) {
    ListMemory memory;
    const void* first = nullptr;
    for (int mesh = 0; mesh < 3; ++mesh) {
        memory.releaseAfter([] {});
        std::vector<MemoryList<int32_t>> lists;
        for (int i = 0; i < 5000; ++i) {
            lists.emplace_back(ListAllocator<int32_t>(&memory));
            for (int j = 0; j <= i % 40; ++j) {
                lists.back().push_back(i * 100 + j);
            }
        }
        for (int i = 0; i < 5000; ++i) {
            ASSERT_EQ(lists[static_cast<size_t>(i)].size(), static_cast<size_t>(i % 40 + 1));
            ASSERT_EQ(lists[static_cast<size_t>(i)].back(), i * 100 + i % 40);
        }
        // The first block of every mesh is the first block of the first slab.
        if (mesh == 0) {
            first = lists.front().data();
        }
        EXPECT_EQ(static_cast<const void*>(lists.front().data()), first);
        memory.releaseAfter([&lists] { lists.clear(); });
    }
}

// A list copied from the memory takes the heap and lives on after the memory is released; a
// list moved keeps its memory.
TEST(ListMemory, ACopiedListTakesTheHeap) {
    ListMemory memory;
    MemoryList<int32_t> kept{ListAllocator<int32_t>(&memory)};
    kept.assign({1, 2, 3});
    const MemoryList<int32_t> copy = kept;
    EXPECT_EQ(copy.get_allocator().memory, nullptr);
    MemoryList<int32_t> moved = std::move(kept);
    EXPECT_EQ(moved.get_allocator().memory, &memory);
    memory.releaseAfter([&moved] { const MemoryList<int32_t> gone = std::move(moved); });
    EXPECT_EQ(copy, (MemoryList<int32_t>{1, 2, 3}));
}

TEST(ConnList, KeepsTheOrderOfAPlainListThroughTakingOutAndAppending) {
    // Entries taken out at every place (the front half moves the head), single entries and runs
    // of entries appended (which use the room before the list first): after every step the
    // list reads as a plain vector given the same steps.
    ListMemory memory;
    std::mt19937 random(17);
    for (int list = 0; list < 40; ++list) {
        ConnList conns(&memory);
        std::vector<PointNumber> plain;
        PointNumber next = 0;
        for (int step = 0; step < 400; ++step) {
            const unsigned kind = random() % 3;
            if (kind == 0 && !plain.empty()) {
                const size_t at = random() % plain.size();
                conns.erase(at);
                plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(at));
            } else if (kind == 1) {
                conns.push_back(next);
                plain.push_back(next++);
            } else {
                std::vector<PointNumber> run(random() % 70);
                for (PointNumber& entry : run) {
                    entry = next++;
                }
                conns.append(run.data(), run.size());
                plain.insert(plain.end(), run.begin(), run.end());
            }
            ASSERT_EQ(std::vector<PointNumber>(conns.begin(), conns.end()), plain)
                << "list " << list << ", step " << step;
        }
    }
}

}  // namespace
}  // namespace meshthin::testing
