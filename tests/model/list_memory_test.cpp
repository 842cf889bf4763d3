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
#include "model/short_list.h"

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
        std::vector<ShortList<int32_t>> lists(5000);
        for (int i = 0; i < 5000; ++i) {
            // Some lists grow past the largest slab block, onto the heap.
            for (int j = 0; j <= (i % 97 == 0 ? 1500 : i % 40); ++j) {
                lists[static_cast<size_t>(i)].push_back(&memory, i * 100 + j);
            }
        }
        for (int i = 0; i < 5000; ++i) {
            const int last = i % 97 == 0 ? 1500 : i % 40;
            const ShortList<int32_t>& list = lists[static_cast<size_t>(i)];
            ASSERT_EQ(list.size(), static_cast<size_t>(last + 1));
            ASSERT_EQ(list[0], i * 100);
            ASSERT_EQ(list.back(), i * 100 + last);
        }
        // The first block of every mesh is the first block of the first slab.
        if (mesh == 0) {
            first = lists[1].data();
        }
        EXPECT_EQ(static_cast<const void*>(lists[1].data()), first);
        memory.releaseAfter([&lists] { lists.clear(); });
    }
}

// A list copied takes the heap and lives on after the memory is released, as does one given a
// block of the heap from the start; copyFrom puts a copy in the memory it is given.
TEST(ListMemory, ACopiedListTakesTheHeap) {
    ListMemory memory;
    ShortList<int32_t> kept;
    const int32_t entries[] = {1, 2, 3};
    kept.assign(&memory, entries, entries + 3);
    ShortList<int32_t> copy = kept;
    ShortList<int32_t> inMemory;
    inMemory.copyFrom(kept, &memory);
    EXPECT_NE(copy.data(), kept.data());
    EXPECT_NE(inMemory.data(), kept.data());
    ShortList<int32_t> onHeap;
    onHeap.push_back(nullptr, 7);
    memory.releaseAfter([&] {
        const ShortList<int32_t> gone = std::move(kept);
        inMemory = ShortList<int32_t>();
    });
    // The slabs' blocks are handed out again and overwritten.
    ShortList<int32_t> next;
    next.assign(&memory, 4, -9);
    ShortList<int32_t> another;
    another.assign(&memory, 4, -9);
    EXPECT_EQ(std::vector<int32_t>(copy.begin(), copy.end()), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(std::vector<int32_t>(onHeap.begin(), onHeap.end()), (std::vector<int32_t>{7}));
    memory.releaseAfter([&] {
        next = ShortList<int32_t>();
        another = ShortList<int32_t>();
    });
}

TEST(ConnList, KeepsTheOrderOfAPlainListThroughTakingOutAndAppending) {
    // Entries taken out at every place (the front half moves the head), single entries and runs
    // of entries appended (which use the room before the list first): after every step the
    // list reads as a plain vector given the same steps.
    ListMemory memory;
    std::mt19937 random(17);
    for (int list = 0; list < 40; ++list) {
        ConnList conns;
        std::vector<PointNumber> plain;
        PointNumber next = 0;
        for (int step = 0; step < 400; ++step) {
            const unsigned kind = random() % 3;
            if (kind == 0 && !plain.empty()) {
                const size_t at = random() % plain.size();
                conns.erase(at);
                plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(at));
            } else if (kind == 1) {
                conns.push_back(&memory, next);
                plain.push_back(next++);
            } else {
                std::vector<PointNumber> run(random() % 70);
                for (PointNumber& entry : run) {
                    entry = next++;
                }
                conns.append(&memory, run.data(), run.size());
                plain.insert(plain.end(), run.begin(), run.end());
            }
            ASSERT_EQ(std::vector<PointNumber>(conns.begin(), conns.end()), plain)
                << "list " << list << ", step " << step;
        }
    }
}

}  // namespace
}  // namespace meshthin::testing
