#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "host/host_services.h"

namespace {

struct Item {
    ListNode node;
    int value;
};

Item* newItem(int value) {
    auto* item = static_cast<Item*>(std::malloc(sizeof(Item)));
    item->value = value;
    return item;
}

std::vector<int> values(ListHeader* list) {
    std::vector<int> out;
    for (ListNode* n = lstFirst(list); n != nullptr; n = lstNext(n)) out.push_back(reinterpret_cast<Item*>(n)->value);
    return out;
}

TEST(ListTest, AppendsInOrderAndRemovesFromTheHead) {
    ListHeader list;
    lstInitList(&list);
    EXPECT_EQ(lstFirst(&list), nullptr);
    EXPECT_EQ(lstRemoveHead(&list), nullptr);
    Item items[3] = {{{}, 1}, {{}, 2}, {{}, 3}};
    for (Item& item : items) lstAddTail(&list, &item.node);
    EXPECT_EQ(values(&list), (std::vector<int>{1, 2, 3}));

    EXPECT_EQ(lstRemoveHead(&list), &items[0].node);
    EXPECT_EQ(values(&list), (std::vector<int>{2, 3}));
    EXPECT_EQ(lstRemoveHead(&list), &items[1].node);
    EXPECT_EQ(lstRemoveHead(&list), &items[2].node);
    EXPECT_EQ(lstRemoveHead(&list), nullptr);
    EXPECT_EQ(lstFirst(&list), nullptr);

    // Emptied by removal, the list takes new nodes as a fresh one does.
    lstAddTail(&list, &items[2].node);
    lstAddTail(&list, &items[0].node);
    EXPECT_EQ(values(&list), (std::vector<int>{3, 1}));
}

// A list a panel built is released whole: header and nodes, both malloced.
TEST(ListTest, FreeListReleasesMallocedNodesAndTheHeader) {
    for (int count : {0, 1, 3}) {
        auto* list = static_cast<ListHeader*>(std::calloc(1, sizeof(ListHeader)));
        lstInitList(list);
        std::vector<int> expected;
        for (int v = 0; v < count; ++v) {
            lstAddTail(list, &newItem(v)->node);
            expected.push_back(v);
        }
        EXPECT_EQ(values(list), expected);
        lstFreeList(list);  // the sanitizer build reports any block left behind
    }
}

TEST(ListTest, NextOfTheLastNodeIsNull) {
    ListHeader list;
    lstInitList(&list);
    Item only{{}, 9};
    lstAddTail(&list, &only.node);
    EXPECT_EQ(lstNext(lstFirst(&list)), nullptr);
}

}  // namespace
